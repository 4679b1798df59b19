#include "link/LinkTap.h"

#include <algorithm>

CLinkTap::~CLinkTap() {
    std::unique_lock lock(m_mutex);
    m_observers.clear();
    m_nObservers = 0;
    StopThread(lock);
}

const std::shared_ptr<CLinkTap>& CLinkTap::Shared() {
    static const std::shared_ptr<CLinkTap> tap = std::make_shared<CLinkTap>();
    return tap;
}

void CLinkTap::Post(LinkDirection direction, const std::uint8_t* bytes, std::size_t count,
                    const std::string& link, bool discarded) {
    if (!Active()) return;
    LinkFrame frame;
    frame.time = std::chrono::steady_clock::now();
    frame.direction = direction;
    frame.discarded = discarded;
    if (bytes != nullptr && count > 0)
        frame.bytes.assign(reinterpret_cast<const char*>(bytes), count);
    frame.link = link;
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() >= kMaxQueuedFrames) {
            ++m_nLost;
            return;
        }
        m_queue.push_back(std::move(frame));
        ++m_nPosted;
    }
    m_wake.notify_one();
}

void CLinkTap::AddObserver(ILinkObserver* observer) {
    if (observer == nullptr) return;
    std::lock_guard lock(m_mutex);
    if (std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end()) return;
    m_observers.push_back(observer);
    if (!m_thread.joinable()) {
        // Frames that a link posted as the last observer went belong to nobody.
        m_nPosted -= m_queue.size();
        m_queue.clear();
        m_bStop = false;
        m_thread = std::thread(&CLinkTap::Deliver, this);
    }
    m_nObservers = static_cast<int>(m_observers.size());
}

void CLinkTap::RemoveObserver(ILinkObserver* observer) {
    Flush();
    std::unique_lock lock(m_mutex);
    const auto it = std::find(m_observers.begin(), m_observers.end(), observer);
    if (it == m_observers.end()) return;
    m_observers.erase(it);
    m_nObservers = static_cast<int>(m_observers.size());
    if (m_observers.empty()) {
        StopThread(lock);
        return;
    }
    // A batch being delivered may still hold the old list: wait until it is through.
    lock.unlock();
    std::lock_guard delivering(m_deliveryMutex);
}

void CLinkTap::Flush() {
    std::unique_lock lock(m_mutex);
    const std::uint64_t target = m_nPosted;
    m_delivered.wait(lock, [&] { return m_nDone >= target || !m_thread.joinable(); });
}

void CLinkTap::StopThread(std::unique_lock<std::mutex>& lock) {
    if (!m_thread.joinable()) return;
    m_bStop = true;
    m_wake.notify_all();
    std::thread thread = std::move(m_thread);
    lock.unlock();
    thread.join();
    lock.lock();
    m_bStop = false;
    m_delivered.notify_all();
}

void CLinkTap::Deliver() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_bStop || !m_queue.empty(); });
        if (m_queue.empty()) return;  // stopping, with everything delivered
        std::deque<LinkFrame> batch;
        batch.swap(m_queue);
        const std::vector<ILinkObserver*> observers = m_observers;
        lock.unlock();
        {
            std::lock_guard delivering(m_deliveryMutex);
            for (const LinkFrame& frame : batch) {
                for (ILinkObserver* observer : observers) observer->OnLinkFrame(frame);
            }
        }
        lock.lock();
        m_nDone += batch.size();
        m_delivered.notify_all();
    }
}
