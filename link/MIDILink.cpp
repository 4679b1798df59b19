#include "link/MIDILink.h"

#include <cstdio>
#include <thread>
#include <vector>

class CMIDILink::CSendWorker {
public:
    struct Shared {
        std::vector<std::uint8_t> frame;  // the worker's own copy
        CManualResetEvent finished;
    };
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    std::thread thread;
};

CMIDILink::CMIDILink(IHost& host) : CMIDILink(host, midi::SystemMIDIBackend()) {}

CMIDILink::CMIDILink(IHost& host, std::shared_ptr<midi::IMIDIBackend> backend)
    : m_host(host),
      m_pBackend(backend),
      m_pInDevice(std::make_shared<midi::CMIDIInDevice>(*this, backend)),
      m_pOutDevice(std::make_shared<midi::CMIDIOutDevice>(backend)),
      m_pSettings(std::make_unique<CMIDISettings>()) {
    m_pSettings->Load();
    SetInputTap(m_pTap, TapName());
}

void CMIDILink::SetTap(std::shared_ptr<CLinkTap> tap) {
    CDeviceLink::SetTap(tap);
    SetInputTap(std::move(tap), TapName());
}

std::string CMIDILink::TapName() const {
    return "MIDI in " + std::to_string(m_pSettings->m_nInputDevice) + " out " +
           std::to_string(m_pSettings->m_nOutputDevice);
}

void CMIDILink::TapOutput(const std::uint8_t* data, int length) {
    if (Tapping() && data != nullptr && length > 0)
        m_pTap->Post(LinkDirection::ToUnit, data, static_cast<std::size_t>(length), TapName());
}

CMIDILink::CMIDILink(IHost& host, std::shared_ptr<midi::IMIDIBackend> backend,
                     std::int32_t inputDevice, std::int32_t outputDevice)
    : m_host(host),
      m_pBackend(backend),
      m_pInDevice(std::make_shared<midi::CMIDIInDevice>(*this, backend)),
      m_pOutDevice(std::make_shared<midi::CMIDIOutDevice>(backend)),
      m_pSettings(std::make_unique<CMIDISettings>()) {
    m_pSettings->m_bPersist = false;
    m_pSettings->m_nInputDevice = inputDevice;
    m_pSettings->m_nOutputDevice = outputDevice;
}

CMIDILink::~CMIDILink() {
    // A worker left running may still hold the devices; closing the input here makes sure no
    // input reaches this collector once it is gone.
    try {
        m_pInDevice->Close();
    } catch (...) {
    }
    m_pInDevice.reset();
    m_pOutDevice->Close();
    m_pOutDevice.reset();
    m_pSettings.reset();
}

int CMIDILink::Open(int) {
    // Nothing of an earlier opening may outlive a failed one: after its server has gone, libjack
    // tears down its shared state when a new client fails to connect, and a client made before
    // then crashes when it is closed afterwards.
    Close();
    m_bPeerGone = false;
    m_bInterrupted = false;
    ResetInputBytes();
    // The devices may have been chosen anew since the last opening.
    SetInputTap(m_pTap, TapName());
    const std::int32_t input = m_pSettings->m_nInputDevice;
    const std::int32_t output = m_pSettings->m_nOutputDevice;
    try {
        m_pInDevice->Open(input);
    } catch (...) {
        const std::string text = MissingDeviceText("input", input, m_pBackend->InputPortNames());
        if (!text.empty()) m_host.ShowMessage(text);
        return -2;
    }
    try {
        m_pOutDevice->Open(output);
    } catch (...) {
        try {
            m_pInDevice->Close();
        } catch (...) {
        }
        const std::string text = MissingDeviceText("output", output, m_pBackend->OutputPortNames());
        if (!text.empty()) m_host.ShowMessage(text);
        return -2;
    }
    return 0;
}

std::string CMIDILink::MissingDeviceText(const char* kind, std::int32_t number,
                                         const std::vector<std::string>& names) {
    if (number >= 0 && static_cast<std::size_t>(number) < names.size()) return {};
    std::string text =
        "MIDI " + std::string(kind) + " device " + std::to_string(number) + " does not exist.";
    if (names.empty()) return text + " This computer has no MIDI " + kind + " devices.";
    text += " The MIDI " + std::string(kind) + " devices are:";
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += "\n" + std::to_string(i) + ": " + names[i];
    }
    return text;
}

bool CMIDILink::CheckGone() {
    if (m_bPeerGone) return true;
    std::string text;
    if (const std::string failure = m_pOutDevice->Failure(); !failure.empty()) {
        text = "The MIDI output device failed: " + failure;
    } else if (const std::string inFailure = m_pInDevice->Failure(); !inFailure.empty()) {
        text = "The MIDI input device failed: " + inFailure;
    } else {
        return false;
    }
    if (!m_bPeerGone.exchange(true)) m_host.ShowMessage(text, {}, IHost::Icon::Error);
    return true;
}

void CMIDILink::Close() {
    try {
        m_pInDevice->Stop();
    } catch (...) {
    }
    try {
        m_pInDevice->Close();
    } catch (...) {
        // The input stays opened; the next Open closes it first.
    }
    m_pOutDevice->Close();
}

bool CMIDILink::FrameFits(int length) {
    const std::size_t largest = m_pOutDevice->LargestLongMessage();
    if (length <= 0 || static_cast<std::size_t>(length) <= largest) return true;
    char text[160];
    std::snprintf(text, sizeof text,
                  "The frame of %d bytes is larger than the MIDI connection can carry (%d bytes).",
                  length, static_cast<int>(largest));
    m_host.ShowMessage(text, {}, IHost::Icon::Warning);
    return false;
}

void CMIDILink::Send(const std::uint8_t* data, int length) {
    if (CheckGone() || length <= 0 || !FrameFits(length)) return;
    TapOutput(data, length);
    try {
        m_pOutDevice->SendLong(data, static_cast<std::uint32_t>(length));
    } catch (...) {
    }
    CheckGone();
}

std::unique_ptr<CMIDILink::CSendWorker> CMIDILink::StartWorker(const std::uint8_t* data,
                                                               int length) {
    auto worker = std::make_unique<CSendWorker>();
    // Posted before the worker starts, so the frame always shows before its reply.
    TapOutput(data, length);
    if (data && length > 0) worker->shared->frame.assign(data, data + length);
    auto job = [in = m_pInDevice, out = m_pOutDevice, shared = worker->shared,
                interrupt = Interrupter()] {
        try {
            in->Start();
        } catch (...) {
        }
        try {
            out->SendLong(shared->frame.data(), static_cast<std::uint32_t>(shared->frame.size()));
        } catch (...) {
        }
        // The frame was refused: no reply will come, and the waiting exchange need not wait.
        if (!out->Failure().empty()) interrupt();
        shared->finished.Set();
    };
    try {
        worker->thread = std::thread(job);
    } catch (...) {
        job();  // no thread to be had: send from here rather than not at all
    }
    return worker;
}

void CMIDILink::FinishWorker(std::unique_ptr<CSendWorker> worker) {
    if (!worker->thread.joinable()) return;
    if (worker->shared->finished.Wait(m_timings.workerWaitMs)) {
        worker->thread.join();
    } else {
        worker->thread.detach();  // it holds its own copies of everything it touches
    }
}

void CMIDILink::Interrupt() {
    m_bInterrupted = true;
    // An exchange that began waiting before the flag rose is woken; a later one sees the flag.
    Interrupter()();
}

int CMIDILink::SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                           std::string& reply) {
    if (m_bInterrupted || CheckGone() || !FrameFits(length)) return -1;
    m_host.BeginWaitCursor();
    BeginWait();
    auto worker = StartWorker(data, length);
    if (!m_bInterrupted) WaitReplyEvent().Wait(timeoutMs);
    FinishWorker(std::move(worker));
    EndWait();
    // A complete reply counts even when the MIDI system failed after it came.
    const bool complete = WaitReplyComplete();
    if (complete) reply = TakeWaitReply();
    CheckGone();
    m_host.EndWaitCursor();
    if (WaitReplyDiscarded()) m_host.ShowMessage(kReplyTooLongText, {}, IHost::Icon::Warning);
    return complete ? 0 : -1;
}

int CMIDILink::SendAndPoll(ICompletionProbe& engine, const std::string& name,
                           const std::uint8_t* data, int length, std::string& reply) {
    if (m_bInterrupted || CheckGone() || !FrameFits(length)) return -1;
    m_host.BeginWaitCursor();
    BeginPoll();
    auto worker = StartWorker(data, length);
    std::string got = reply;
    int result = RunPollLoop(
        PollReplyEvent(), [this] { return PollReplyEmpty(); }, [this] { return TakePollReply(); },
        engine, name, got);
    FinishWorker(std::move(worker));
    EndPoll();
    // Woken because the MIDI system failed, not by a reply: nothing came.
    if ((CheckGone() || m_bInterrupted) && !PollReplyTaken()) result = -1;
    if (result == 0) reply = std::move(got);
    m_host.EndWaitCursor();
    return result;
}
