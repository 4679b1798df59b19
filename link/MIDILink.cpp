#include "MIDILink.h"

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
      m_pInDevice(std::make_shared<midi::CMIDIInDevice>(*this, backend)),
      m_pOutDevice(std::make_shared<midi::CMIDIOutDevice>(backend)),
      m_pSettings(std::make_unique<CMIDISettings>()) {
    m_pSettings->Load();
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
    try {
        m_pInDevice->Open(m_pSettings->m_nInputDevice);
    } catch (...) {
        return -2;
    }
    try {
        m_pOutDevice->Open(m_pSettings->m_nOutputDevice);
    } catch (...) {
        try {
            m_pInDevice->Close();
        } catch (...) {
        }
        return -2;
    }
    return 0;
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
    if (length <= 0 || !FrameFits(length)) return;
    try {
        m_pOutDevice->SendLong(data, static_cast<std::uint32_t>(length));
    } catch (...) {
    }
}

std::unique_ptr<CMIDILink::CSendWorker> CMIDILink::StartWorker(const std::uint8_t* data,
                                                               int length) {
    auto worker = std::make_unique<CSendWorker>();
    if (data && length > 0) worker->shared->frame.assign(data, data + length);
    auto job = [in = m_pInDevice, out = m_pOutDevice, shared = worker->shared] {
        try {
            in->Start();
        } catch (...) {
        }
        try {
            out->SendLong(shared->frame.data(), static_cast<std::uint32_t>(shared->frame.size()));
        } catch (...) {
        }
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

int CMIDILink::SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                           std::string& reply) {
    if (!FrameFits(length)) return -1;
    m_host.BeginWaitCursor();
    BeginWait();
    auto worker = StartWorker(data, length);
    const bool complete = WaitReplyEvent().Wait(timeoutMs);
    FinishWorker(std::move(worker));
    EndWait();
    if (complete) reply = TakeWaitReply();
    m_host.EndWaitCursor();
    return complete ? 0 : -1;
}

int CMIDILink::SendAndPoll(ICompletionProbe& engine, const std::string& name,
                           const std::uint8_t* data, int length, std::string& reply) {
    if (!FrameFits(length)) return -1;
    m_host.BeginWaitCursor();
    BeginPoll();
    auto worker = StartWorker(data, length);
    const int result = RunPollLoop(
        PollReplyEvent(), [this] { return PollReplyEmpty(); }, [this] { return TakePollReply(); },
        engine, name, reply);
    FinishWorker(std::move(worker));
    EndPoll();
    m_host.EndWaitCursor();
    return result;
}
