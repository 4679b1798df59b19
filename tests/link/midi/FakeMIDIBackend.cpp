#include "tests/link/midi/FakeMIDIBackend.h"

#include <chrono>
#include <stdexcept>
#include <utility>

class CFakeMIDIBackend::CInPort : public midi::IMIDIInPort {
public:
    explicit CInPort(CFakeMIDIBackend& backend) : m_backend(backend) {}
    ~CInPort() override { Disconnect(); }

    void Open(unsigned int number, MessageHandler onMessage, ErrorHandler onError) override {
        std::lock_guard lock(m_backend.m_mutex);
        if (m_backend.m_bGone) throw std::runtime_error("The MIDI system is not running.");
        if (auto error = std::exchange(m_backend.m_inOpenError, nullptr)) {
            std::rethrow_exception(error);
        }
        if (number >= m_backend.m_inputs.size()) {
            throw std::runtime_error("There is no MIDI input number " + std::to_string(number) +
                                     ".");
        }
        onMessage_ = std::move(onMessage);
        onError_ = std::move(onError);
        m_bOpen = true;
        m_backend.m_pOpenIn = this;
        m_backend.m_nLastIn = number;
        ++m_backend.m_nOpenInputs;
    }

    void Close() override {
        {
            std::lock_guard lock(m_backend.m_mutex);
            if (auto error = std::exchange(m_backend.m_inCloseError, nullptr)) {
                std::rethrow_exception(error);
            }
        }
        Disconnect();
    }

    MessageHandler onMessage_;
    ErrorHandler onError_;

private:
    void Disconnect() {
        std::unique_lock lock(m_backend.m_mutex);
        if (!m_bOpen) return;
        m_bOpen = false;
        --m_backend.m_nOpenInputs;
        if (m_backend.m_pOpenIn == this) {
            m_backend.m_pOpenIn = nullptr;
            // Like RtMidi closing its client: wait until the delivery thread has left us.
            m_backend.m_cv.wait(lock, [this] { return !m_backend.m_bDelivering; });
        }
    }

    CFakeMIDIBackend& m_backend;
    bool m_bOpen = false;
};

class CFakeMIDIBackend::COutPort : public midi::IMIDIOutPort {
public:
    explicit COutPort(CFakeMIDIBackend& backend) : m_backend(backend) {}
    ~COutPort() override {
        std::lock_guard lock(m_backend.m_mutex);
        if (m_bOpen) --m_backend.m_nOpenOutputs;
    }

    void Open(unsigned int number) override {
        std::lock_guard lock(m_backend.m_mutex);
        if (m_backend.m_bGone) throw std::runtime_error("The MIDI system is not running.");
        if (auto error = std::exchange(m_backend.m_outOpenError, nullptr)) {
            std::rethrow_exception(error);
        }
        if (number >= m_backend.m_outputs.size()) {
            throw std::runtime_error("There is no MIDI output number " + std::to_string(number) +
                                     ".");
        }
        m_bOpen = true;
        m_backend.m_nLastOut = number;
        ++m_backend.m_nOpenOutputs;
    }

    void Send(const std::uint8_t* bytes, std::size_t count) override {
        m_backend.SendFromPort(bytes, count);
    }

    std::size_t LargestMessage() const override {
        std::lock_guard lock(m_backend.m_mutex);
        return m_backend.m_nLargest;
    }

private:
    CFakeMIDIBackend& m_backend;
    bool m_bOpen = false;
};

CFakeMIDIBackend::CFakeMIDIBackend() : m_thread([this] { DeliveryLoop(); }) {}

CFakeMIDIBackend::~CFakeMIDIBackend() {
    {
        std::lock_guard lock(m_mutex);
        m_bQuit = true;
        m_bHoldSends = false;
    }
    m_cv.notify_all();
    m_thread.join();
}

void CFakeMIDIBackend::SetPortNames(std::vector<std::string> inputs,
                                    std::vector<std::string> outputs) {
    std::lock_guard lock(m_mutex);
    m_inputs = std::move(inputs);
    m_outputs = std::move(outputs);
}

void CFakeMIDIBackend::SetResponder(Responder responder) {
    std::lock_guard lock(m_mutex);
    m_responder = std::move(responder);
}

void CFakeMIDIBackend::SetLargestMessage(std::size_t largest) {
    std::lock_guard lock(m_mutex);
    m_nLargest = largest;
}

void CFakeMIDIBackend::FailNextInOpen(std::exception_ptr error) {
    std::lock_guard lock(m_mutex);
    m_inOpenError = std::move(error);
}

void CFakeMIDIBackend::FailNextOutOpen(std::exception_ptr error) {
    std::lock_guard lock(m_mutex);
    m_outOpenError = std::move(error);
}

void CFakeMIDIBackend::FailNextInClose(std::exception_ptr error) {
    std::lock_guard lock(m_mutex);
    m_inCloseError = std::move(error);
}

void CFakeMIDIBackend::FailSends(bool fail) {
    std::lock_guard lock(m_mutex);
    m_bFailSends = fail;
}

void CFakeMIDIBackend::HoldSends() {
    std::lock_guard lock(m_mutex);
    m_bHoldSends = true;
}

void CFakeMIDIBackend::ReleaseSends() {
    {
        std::lock_guard lock(m_mutex);
        m_bHoldSends = false;
    }
    m_cv.notify_all();
}

void CFakeMIDIBackend::Vanish() {
    std::lock_guard lock(m_mutex);
    m_bGone = true;
    m_queue.clear();
}

void CFakeMIDIBackend::Back() {
    std::lock_guard lock(m_mutex);
    m_bGone = false;
}

void CFakeMIDIBackend::Deliver(Bytes message) {
    Enqueue({std::move(message), false, {}});
}

void CFakeMIDIBackend::DeliverError(const std::string& text) {
    Enqueue({{}, true, text});
}

void CFakeMIDIBackend::Enqueue(Event event) {
    {
        std::lock_guard lock(m_mutex);
        if (m_bGone) return;
        m_queue.push_back(std::move(event));
    }
    m_cv.notify_all();
}

void CFakeMIDIBackend::Drain() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_queue.empty() && !m_bDelivering; });
}

void CFakeMIDIBackend::DeliveryLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] { return m_bQuit || !m_queue.empty(); });
        if (m_bQuit) return;
        Event event = std::move(m_queue.front());
        m_queue.pop_front();
        CInPort* port = m_pOpenIn;
        if (port) {
            m_bDelivering = true;
            lock.unlock();
            if (event.isError) {
                if (port->onError_) port->onError_(event.errorText);
            } else if (port->onMessage_) {
                port->onMessage_(event.message.data(), event.message.size());
            }
            lock.lock();
            m_bDelivering = false;
        }
        m_cv.notify_all();
    }
}

void CFakeMIDIBackend::SendFromPort(const std::uint8_t* bytes, std::size_t count) {
    Responder responder;
    Bytes frame(bytes, bytes + count);
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return !m_bHoldSends; });
        if (m_bGone) throw std::runtime_error("The MIDI system is not running.");
        if (m_bFailSends) throw std::runtime_error("The MIDI system refused the message.");
        if (count > m_nLargest) throw std::length_error("The message is too long.");
        m_sent.push_back(frame);
        responder = m_responder;
    }
    m_cv.notify_all();
    if (!responder) return;
    for (auto& reply : responder(frame)) Deliver(std::move(reply));
}

std::vector<CFakeMIDIBackend::Bytes> CFakeMIDIBackend::SentFrames() const {
    std::lock_guard lock(m_mutex);
    return m_sent;
}

bool CFakeMIDIBackend::WaitForSentFrames(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return m_sent.size() >= count; });
}

int CFakeMIDIBackend::OpenInputs() const {
    std::lock_guard lock(m_mutex);
    return m_nOpenInputs;
}

int CFakeMIDIBackend::OpenOutputs() const {
    std::lock_guard lock(m_mutex);
    return m_nOpenOutputs;
}

unsigned int CFakeMIDIBackend::LastInputNumber() const {
    std::lock_guard lock(m_mutex);
    return m_nLastIn;
}

unsigned int CFakeMIDIBackend::LastOutputNumber() const {
    std::lock_guard lock(m_mutex);
    return m_nLastOut;
}

std::unique_ptr<midi::IMIDIInPort> CFakeMIDIBackend::CreateInPort() {
    std::lock_guard lock(m_mutex);
    if (m_bGone) throw std::runtime_error("The MIDI system is not running.");
    return std::make_unique<CInPort>(*this);
}

std::unique_ptr<midi::IMIDIOutPort> CFakeMIDIBackend::CreateOutPort() {
    std::lock_guard lock(m_mutex);
    if (m_bGone) throw std::runtime_error("The MIDI system is not running.");
    return std::make_unique<COutPort>(*this);
}

std::vector<std::string> CFakeMIDIBackend::InputPortNames() {
    std::lock_guard lock(m_mutex);
    return m_bGone ? std::vector<std::string>{} : m_inputs;
}

std::vector<std::string> CFakeMIDIBackend::OutputPortNames() {
    std::lock_guard lock(m_mutex);
    return m_bGone ? std::vector<std::string>{} : m_outputs;
}
