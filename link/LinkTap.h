#pragma once
// The traffic tap: every frame a link writes to the unit and every frame it reads back passes
// through one CLinkTap, which hands them, in the order they crossed the wire, to the observers
// attached to it (the desktop program's communication log, the command line's trace, the log
// file, tests).
//
// Each link holds a tap; by default the process's shared one (CLinkTap::Shared()), so whatever
// observes that tap sees every link the program builds. A link posts a frame only while the tap
// has an observer: with none attached, a link pays one atomic load per frame and copies nothing.
//
// What a frame is:
// - to the unit: the bytes of one Send / SendAndWait / SendAndPoll as they were handed to the
//   transport (a system-exclusive frame, or the two bytes of a program change);
// - from the unit: one system-exclusive message as it arrived, the closing 0xF7 included (the
//   serial link cuts its input at each 0xF7). Input that no transaction took (bytes arriving
//   while nothing waits, the rest of a reply that was too long, the unfinished start of a reply
//   that a new frame made stale) is posted too, marked `discarded`.
//
// Threads: Post may be called from any thread (the serial monitor, the MIDI system's input
// thread, the MIDI send workers); it copies the bytes into a queue under a short lock and never
// waits for an observer. A delivery thread of the tap's own, running while an observer is
// attached, calls the observers one frame at a time in posting order. AddObserver,
// RemoveObserver and Flush may be called from any thread but the delivery thread (an observer
// must not call them from OnLinkFrame).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class LinkDirection { ToUnit, FromUnit };

struct LinkFrame {
    std::chrono::steady_clock::time_point time;  // when the link handed the frame over or read it
    LinkDirection direction = LinkDirection::ToUnit;
    bool discarded = false;  // input that no transaction took
    std::string bytes;       // any byte values
    std::string link;        // the link's name: the serial port's path, "MIDI in 1 out 2", ...
};

class ILinkObserver {
public:
    virtual ~ILinkObserver() = default;
    // Called on the tap's delivery thread, never on a transport thread.
    virtual void OnLinkFrame(const LinkFrame& frame) = 0;
};

class CLinkTap {
public:
    CLinkTap() = default;
    ~CLinkTap();
    CLinkTap(const CLinkTap&) = delete;
    CLinkTap& operator=(const CLinkTap&) = delete;

    // The tap every link uses unless it is given another.
    static const std::shared_ptr<CLinkTap>& Shared();

    // Frames waiting for delivery beyond this many are dropped (and counted in Lost()): an
    // observer that cannot keep up must not make the program hold unbounded memory.
    static constexpr std::size_t kMaxQueuedFrames = 200000;

    // True while an observer is attached; the links look at it before they copy anything.
    bool Active() const noexcept { return m_nObservers.load(std::memory_order_relaxed) != 0; }

    // Queues one frame for the observers, stamped now. Does nothing while no observer is attached.
    void Post(LinkDirection direction, const std::uint8_t* bytes, std::size_t count,
              const std::string& link, bool discarded = false);

    // Attaches `observer` (not owned); it sees the frames posted from now on. Starts the
    // delivery thread with the first observer.
    void AddObserver(ILinkObserver* observer);
    // Delivers what is queued, then detaches `observer`; once this returns it is never called
    // again. Ends the delivery thread with the last observer.
    void RemoveObserver(ILinkObserver* observer);
    // Returns once every frame posted before the call has been delivered.
    void Flush();

    // Frames dropped because the queue was full.
    std::uint64_t Lost() const noexcept { return m_nLost.load(); }

private:
    void Deliver();
    void StopThread(std::unique_lock<std::mutex>& lock);

    std::atomic<int> m_nObservers{0};
    std::atomic<std::uint64_t> m_nLost{0};

    std::mutex m_deliveryMutex;  // held while observers are called
    std::mutex m_mutex;          // guards everything below
    std::condition_variable m_wake;
    std::condition_variable m_delivered;
    std::deque<LinkFrame> m_queue;
    std::vector<ILinkObserver*> m_observers;
    std::uint64_t m_nPosted = 0;
    std::uint64_t m_nDone = 0;
    bool m_bStop = false;
    std::thread m_thread;
};
