#include "link/midi/MIDIInDevice.h"

#include <chrono>
#include <exception>
#include <new>
#include <string>

#include "link/midi/MIDIInException.h"
#include "link/midi/MIDIInMemFailure.h"

namespace midi {

namespace {

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Runs a call to the port and turns whatever it throws into the device's exception classes.
template <typename Call>
void CallPort(Call&& call) {
    try {
        call();
    } catch (const CMIDIInException&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw CMIDIInMemFailure();
    } catch (const std::exception& e) {
        throw CMIDIInException(e.what());
    } catch (...) {
        throw CMIDIInException("The MIDI input device failed.");
    }
}

}  // namespace

CMIDIInDevice::CMIDIInDevice(CMIDIInListener& listener, std::shared_ptr<IMIDIBackend> backend)
    : m_listener(listener), m_pBackend(std::move(backend)) {}

CMIDIInDevice::~CMIDIInDevice() {
    std::lock_guard lock(m_mutex);
    try {
        CloseLocked();
    } catch (...) {
    }
    m_nState = kClosed;
    m_pPort.reset();  // destroying the port closes it even when its Close failed
}

void CMIDIInDevice::Open(std::int32_t deviceNumber) {
    std::lock_guard lock(m_mutex);
    CloseLocked();
    if (deviceNumber < 0) {
        throw CMIDIInException("MIDI input device " + std::to_string(deviceNumber) +
                               " does not exist.");
    }
    {
        std::lock_guard failureLock(m_failureMutex);
        m_strFailure.clear();
    }
    std::unique_ptr<IMIDIInPort> port;
    CallPort([&] {
        port = m_pBackend->CreateInPort();
        port->Open(
            static_cast<unsigned int>(deviceNumber),
            [this](const std::uint8_t* bytes, std::size_t count) { OnPortMessage(bytes, count); },
            [this](const std::string& text) { OnPortError(text); });
    });
    m_pPort = std::move(port);
    m_nState = kOpened;
}

void CMIDIInDevice::Close() {
    std::lock_guard lock(m_mutex);
    CloseLocked();
}

void CMIDIInDevice::CloseLocked() {
    if (m_nState == kRecording) m_nState = kOpened;
    if (m_nState != kOpened) return;
    CallPort([&] { m_pPort->Close(); });  // a refusal leaves the device opened
    m_pPort.reset();
    m_nState = kClosed;
}

void CMIDIInDevice::Start() {
    std::lock_guard lock(m_mutex);
    if (m_nState != kOpened) return;
    m_nStartTicks = NowMs();
    m_nState = kRecording;
}

void CMIDIInDevice::Stop() {
    std::lock_guard lock(m_mutex);
    if (m_nState == kRecording) m_nState = kOpened;
}

std::uint32_t CMIDIInDevice::TimeStamp() const {
    return static_cast<std::uint32_t>(NowMs() - m_nStartTicks.load());
}

void CMIDIInDevice::OnPortMessage(const std::uint8_t* bytes, std::size_t count) {
    if (m_nState != kRecording || count == 0) return;
    const std::uint32_t stamp = TimeStamp();
    // An exception must not unwind into the MIDI system's thread.
    try {
        if (bytes[0] == 0xF0) {
            const bool complete = bytes[count - 1] == 0xF7;
            for (std::size_t offset = 0; offset < count; offset += kLongBufferSize) {
                const auto piece = static_cast<std::uint32_t>(
                    std::min<std::size_t>(kLongBufferSize, count - offset));
                if (complete) {
                    m_listener.OnLongMessage(bytes + offset, piece, stamp);
                } else {
                    m_listener.OnLongError(bytes + offset, piece, stamp);
                }
            }
            return;
        }
        std::uint32_t message = 0;
        for (std::size_t i = 0; i < count && i < 3; ++i)
            message |= std::uint32_t{bytes[i]} << (8 * i);
        m_listener.OnShortMessage(message, stamp);
    } catch (...) {
    }
}

std::string CMIDIInDevice::Failure() const {
    std::lock_guard lock(m_failureMutex);
    return m_strFailure;
}

void CMIDIInDevice::OnPortError(const std::string& text) {
    {
        std::lock_guard lock(m_failureMutex);
        if (m_strFailure.empty()) {
            m_strFailure = text.empty() ? "The MIDI input device failed." : text;
        }
    }
    if (m_nState != kRecording) return;
    try {
        m_listener.OnShortError(0, TimeStamp());
    } catch (...) {
    }
}

}  // namespace midi
