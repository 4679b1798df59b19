#pragma once
// A host for tests: records every message and pause instead of showing or sleeping, and counts
// the wait cursor. Thread-safe, since the serial monitor thread may report errors.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/Host.h"

class CRecordingHost : public IHost {
public:
    struct Message {
        std::string text;
        std::string caption;
        Icon icon;
    };

    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override {
        std::function<void(const Message&)> hook;
        {
            std::lock_guard lock(m_mutex);
            m_messages.push_back({text, caption, icon});
            hook = m_onMessage;
        }
        if (hook) hook({text, caption, icon});
    }
    void BeginWaitCursor() override {
        std::lock_guard lock(m_mutex);
        ++m_nWaitCursorDepth;
        ++m_nWaitCursorBegins;
    }
    void EndWaitCursor() override {
        std::lock_guard lock(m_mutex);
        --m_nWaitCursorDepth;
    }
    void Pause(int ms) override {
        std::function<void(int)> hook;
        {
            std::lock_guard lock(m_mutex);
            m_pauses.push_back(ms);
            hook = m_onPause;
        }
        if (hook) hook(ms);
    }

    std::vector<Message> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<std::string> MessageTexts() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> texts;
        for (const auto& m : m_messages) texts.push_back(m.text);
        return texts;
    }
    std::vector<int> Pauses() const {
        std::lock_guard lock(m_mutex);
        return m_pauses;
    }
    int WaitCursorDepth() const {
        std::lock_guard lock(m_mutex);
        return m_nWaitCursorDepth;
    }
    int WaitCursorBegins() const {
        std::lock_guard lock(m_mutex);
        return m_nWaitCursorBegins;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
        m_pauses.clear();
        m_nWaitCursorBegins = 0;
    }
    // Called after a message is recorded / a pause is recorded (outside the lock).
    void OnMessage(std::function<void(const Message&)> hook) {
        std::lock_guard lock(m_mutex);
        m_onMessage = std::move(hook);
    }
    void OnPause(std::function<void(int)> hook) {
        std::lock_guard lock(m_mutex);
        m_onPause = std::move(hook);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
    std::vector<int> m_pauses;
    int m_nWaitCursorDepth = 0;
    int m_nWaitCursorBegins = 0;
    std::function<void(const Message&)> m_onMessage;
    std::function<void(int)> m_onPause;
};
