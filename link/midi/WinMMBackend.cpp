#include "link/midi/WinMMBackend.h"

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>

#include "link/midi/WinMMMessages.h"
#include "settings/WinText.h"

namespace midi {

namespace {

constexpr std::size_t kInputBuffers = 4;
constexpr DWORD kInputBufferSize = 4096;

std::string InErrorText(MMRESULT result) {
    std::array<wchar_t, MAXERRORLENGTH> text{};
    if (::midiInGetErrorTextW(result, text.data(), static_cast<UINT>(text.size())) != 0) {
        return "MIDI input error " + std::to_string(result);
    }
    return wintext::Utf8(text.data());
}

std::string OutErrorText(MMRESULT result) {
    std::array<wchar_t, MAXERRORLENGTH> text{};
    if (::midiOutGetErrorTextW(result, text.data(), static_cast<UINT>(text.size())) != 0) {
        return "MIDI output error " + std::to_string(result);
    }
    return wintext::Utf8(text.data());
}

class CWinMMInPort final : public IMIDIInPort {
public:
    ~CWinMMInPort() override {
        try {
            Close();
        } catch (...) {
        }
    }

    void Open(unsigned int number, MessageHandler onMessage, ErrorHandler onError) override {
        if (number >= ::midiInGetNumDevs()) {
            throw std::runtime_error("MIDI input device " + std::to_string(number) +
                                     " does not exist.");
        }
        m_onMessage = std::move(onMessage);
        m_onError = std::move(onError);
        m_bClosing = false;
        MMRESULT result = ::midiInOpen(&m_handle, number, reinterpret_cast<DWORD_PTR>(&Callback),
                                       reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
        if (result != MMSYSERR_NOERROR) {
            m_handle = nullptr;
            throw std::runtime_error(InErrorText(result));
        }
        for (std::size_t i = 0; i < kInputBuffers; ++i) {
            MIDIHDR& header = m_headers[i];
            header = MIDIHDR{};
            header.lpData = reinterpret_cast<LPSTR>(m_buffers[i].data());
            header.dwBufferLength = kInputBufferSize;
            result = ::midiInPrepareHeader(m_handle, &header, sizeof header);
            if (result == MMSYSERR_NOERROR) {
                result = ::midiInAddBuffer(m_handle, &header, sizeof header);
            }
            if (result != MMSYSERR_NOERROR) {
                const std::string text = InErrorText(result);
                Close();
                throw std::runtime_error(text);
            }
        }
        result = ::midiInStart(m_handle);
        if (result != MMSYSERR_NOERROR) {
            const std::string text = InErrorText(result);
            Close();
            throw std::runtime_error(text);
        }
    }

    void Close() override {
        if (!m_handle) return;
        // Buffers returned by midiInReset are not given back to WinMM.
        m_bClosing = true;
        (void)::midiInStop(m_handle);
        (void)::midiInReset(m_handle);
        for (MIDIHDR& header : m_headers) {
            if (header.dwFlags & MHDR_PREPARED) {
                (void)::midiInUnprepareHeader(m_handle, &header, sizeof header);
            }
        }
        const MMRESULT result = ::midiInClose(m_handle);
        if (result != MMSYSERR_NOERROR) throw std::runtime_error(InErrorText(result));
        m_handle = nullptr;
    }

private:
    static void CALLBACK Callback(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                  DWORD_PTR) {
        auto* self = reinterpret_cast<CWinMMInPort*>(instance);
        switch (message) {
            case MIM_DATA: {
                const auto bytes = ShortMessageBytes(static_cast<std::uint32_t>(param1));
                if (!bytes.empty() && self->m_onMessage) {
                    self->m_onMessage(bytes.data(), bytes.size());
                }
                break;
            }
            case MIM_LONGDATA: {
                auto* header = reinterpret_cast<MIDIHDR*>(param1);
                std::vector<std::uint8_t> whole;
                if (self->m_assembler.Add(reinterpret_cast<const std::uint8_t*>(header->lpData),
                                          header->dwBytesRecorded, whole) &&
                    self->m_onMessage) {
                    self->m_onMessage(whole.data(), whole.size());
                }
                if (!self->m_bClosing) {
                    (void)::midiInAddBuffer(self->m_handle, header, sizeof *header);
                }
                break;
            }
            case MIM_ERROR:
            case MIM_LONGERROR:
                if (self->m_onError) self->m_onError("The MIDI input reported an invalid message.");
                break;
            default:
                break;
        }
    }

    HMIDIIN m_handle = nullptr;
    MessageHandler m_onMessage;
    ErrorHandler m_onError;
    std::atomic<bool> m_bClosing{false};
    CSysexAssembler m_assembler;
    std::array<MIDIHDR, kInputBuffers> m_headers{};
    std::array<std::array<std::uint8_t, kInputBufferSize>, kInputBuffers> m_buffers{};
};

class CWinMMOutPort final : public IMIDIOutPort {
public:
    CWinMMOutPort() : m_done(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~CWinMMOutPort() override {
        if (m_handle) {
            (void)::midiOutReset(m_handle);
            (void)::midiOutClose(m_handle);
        }
        if (m_done) ::CloseHandle(m_done);
    }

    void Open(unsigned int number) override {
        if (number >= ::midiOutGetNumDevs()) {
            throw std::runtime_error("MIDI output device " + std::to_string(number) +
                                     " does not exist.");
        }
        const MMRESULT result = ::midiOutOpen(&m_handle, number,
                                              reinterpret_cast<DWORD_PTR>(m_done), 0,
                                              CALLBACK_EVENT);
        if (result != MMSYSERR_NOERROR) {
            m_handle = nullptr;
            throw std::runtime_error(OutErrorText(result));
        }
    }

    void Send(const std::uint8_t* bytes, std::size_t count) override {
        if (!m_handle) throw std::runtime_error("The MIDI output is not open.");
        if (count == 0) return;
        if (bytes[0] != 0xF0 && count <= 3) {
            DWORD packed = 0;
            for (std::size_t i = 0; i < count; ++i) packed |= DWORD{bytes[i]} << (8 * i);
            const MMRESULT result = ::midiOutShortMsg(m_handle, packed);
            if (result != MMSYSERR_NOERROR) throw std::runtime_error(OutErrorText(result));
            return;
        }
        if (count > LargestMessage()) {
            throw std::length_error("A message of " + std::to_string(count) +
                                    " bytes is longer than the MIDI connection carries.");
        }
        // WinMM reads the bytes while it sends them: a copy is kept until it is done.
        std::vector<char> copy(bytes, bytes + count);
        MIDIHDR header{};
        header.lpData = copy.data();
        header.dwBufferLength = static_cast<DWORD>(count);
        MMRESULT result = ::midiOutPrepareHeader(m_handle, &header, sizeof header);
        if (result != MMSYSERR_NOERROR) throw std::runtime_error(OutErrorText(result));
        ::ResetEvent(m_done);
        result = ::midiOutLongMsg(m_handle, &header, sizeof header);
        if (result == MMSYSERR_NOERROR) {
            // The event is set for every message the driver finishes; MHDR_DONE says it is ours.
            while ((header.dwFlags & MHDR_DONE) == 0) {
                if (::WaitForSingleObject(m_done, kSendTimeoutMs) == WAIT_TIMEOUT &&
                    (header.dwFlags & MHDR_DONE) == 0) {
                    (void)::midiOutReset(m_handle);
                }
            }
        }
        (void)::midiOutUnprepareHeader(m_handle, &header, sizeof header);
        if (result != MMSYSERR_NOERROR) throw std::runtime_error(OutErrorText(result));
    }

    std::size_t LargestMessage() const override { return 65536; }

private:
    static constexpr DWORD kSendTimeoutMs = 5000;
    HMIDIOUT m_handle = nullptr;
    HANDLE m_done;
};

}  // namespace

std::unique_ptr<IMIDIInPort> CWinMMBackend::CreateInPort() {
    return std::make_unique<CWinMMInPort>();
}

std::unique_ptr<IMIDIOutPort> CWinMMBackend::CreateOutPort() {
    return std::make_unique<CWinMMOutPort>();
}

std::vector<std::string> CWinMMBackend::InputPortNames() {
    std::vector<std::string> names;
    const UINT count = ::midiInGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        MIDIINCAPSW caps{};
        names.push_back(::midiInGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR
                            ? wintext::Utf8(caps.szPname)
                            : "MIDI input " + std::to_string(i));
    }
    return names;
}

std::vector<std::string> CWinMMBackend::OutputPortNames() {
    std::vector<std::string> names;
    const UINT count = ::midiOutGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        MIDIOUTCAPSW caps{};
        names.push_back(::midiOutGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR
                            ? wintext::Utf8(caps.szPname)
                            : "MIDI output " + std::to_string(i));
    }
    return names;
}

std::shared_ptr<IMIDIBackend> SystemMIDIBackend() {
    static const std::shared_ptr<IMIDIBackend> backend = std::make_shared<CWinMMBackend>();
    return backend;
}

}  // namespace midi
