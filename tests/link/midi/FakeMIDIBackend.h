#pragma once
// A stand-in for the MIDI system behind midi::IMIDIBackend, for tests of the MIDI devices, the
// MIDI link and the engine over it. Like RtMidi it hands complete messages to the open input on a
// thread of its own, and a scripted responder can answer every frame sent on the open output, as
// the unit would.
//
// Thread-safe: tests configure it from the test thread while the link's workers send and its
// delivery thread delivers.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/midi/MIDIBackend.h"

class CFakeMIDIBackend : public midi::IMIDIBackend {
public:
    using Bytes = std::vector<std::uint8_t>;
    // Gets each frame sent on the open output; returns the messages to deliver, in order, to the
    // open input.
    using Responder = std::function<std::vector<Bytes>(const Bytes& frame)>;

    CFakeMIDIBackend();
    ~CFakeMIDIBackend() override;

    // --- configuration -----------------------------------------------------------------------
    void SetPortNames(std::vector<std::string> inputs, std::vector<std::string> outputs);
    void SetResponder(Responder responder);
    void SetLargestMessage(std::size_t largest);
    // The next input / output Open throws this (std::bad_alloc, std::runtime_error ...).
    void FailNextInOpen(std::exception_ptr error);
    void FailNextOutOpen(std::exception_ptr error);
    void FailNextInClose(std::exception_ptr error);
    // While set, the MIDI system refuses every message sent.
    void FailSends(bool fail);
    // While held, Send blocks (as a stuck driver would) until ReleaseSends.
    void HoldSends();
    void ReleaseSends();
    // The MIDI system vanishes (a JACK server stopping): nothing is delivered or sent any more,
    // and ports cannot be made. Back() brings it back.
    void Vanish();
    void Back();

    // --- acting as the MIDI system -------------------------------------------------------------
    // Delivers a message (or an input error) to the open input on the fake's own thread.
    void Deliver(Bytes message);
    void DeliverError(const std::string& text);
    // Waits until everything queued for delivery so far has been handed over.
    void Drain();

    // --- observing -----------------------------------------------------------------------------
    std::vector<Bytes> SentFrames() const;
    // Waits up to `timeoutMs` until at least `count` frames were sent.
    bool WaitForSentFrames(std::size_t count, int timeoutMs) const;
    int OpenInputs() const;
    int OpenOutputs() const;
    unsigned int LastInputNumber() const;
    unsigned int LastOutputNumber() const;

    // --- midi::IMIDIBackend ----------------------------------------------------------------------
    std::unique_ptr<midi::IMIDIInPort> CreateInPort() override;
    std::unique_ptr<midi::IMIDIOutPort> CreateOutPort() override;
    std::vector<std::string> InputPortNames() override;
    std::vector<std::string> OutputPortNames() override;

private:
    class CInPort;
    class COutPort;
    struct Event {
        Bytes message;
        bool isError = false;
        std::string errorText;
    };

    void DeliveryLoop();
    void Enqueue(Event event);
    void SendFromPort(const std::uint8_t* bytes, std::size_t count);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::vector<std::string> m_inputs{"Fake In A", "Fake In B"};
    std::vector<std::string> m_outputs{"Fake Out A", "Fake Out B"};
    Responder m_responder;
    std::size_t m_nLargest = 16379;
    std::exception_ptr m_inOpenError, m_outOpenError, m_inCloseError;
    bool m_bFailSends = false;
    bool m_bHoldSends = false;
    bool m_bGone = false;
    std::vector<Bytes> m_sent;
    int m_nOpenInputs = 0;
    int m_nOpenOutputs = 0;
    unsigned int m_nLastIn = 0, m_nLastOut = 0;

    // Delivery: one thread for the backend's life; the open input port's handlers.
    CInPort* m_pOpenIn = nullptr;
    std::deque<Event> m_queue;
    bool m_bDelivering = false;
    bool m_bQuit = false;
    std::thread m_thread;
};
