#pragma once
// An observer of a traffic tap that keeps every frame it is given, for tests.

#include <mutex>
#include <thread>
#include <vector>

#include "link/LinkTap.h"

class CRecordingLinkObserver : public ILinkObserver {
public:
    void OnLinkFrame(const LinkFrame& frame) override {
        std::lock_guard lock(m_mutex);
        m_frames.push_back(frame);
        m_threads.push_back(std::this_thread::get_id());
    }
    std::vector<LinkFrame> Frames() {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    // The threads the calls came on, one per frame.
    std::vector<std::thread::id> Threads() {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }

private:
    std::mutex m_mutex;
    std::vector<LinkFrame> m_frames;
    std::vector<std::thread::id> m_threads;
};
