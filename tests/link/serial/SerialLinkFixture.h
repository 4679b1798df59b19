#pragma once
// A serial link on a fresh pseudo-terminal, with its waits shortened, a recording host, settings
// in memory, and a scripted peer thread playing the unit on the master side.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "link/SerialLink.h"
#include "settings/SettingsStore.h"
#include "tests/link/serial/PtyPair.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScopedSettingsStore.h"

// Bytes written as a string literal with escapes; a frame is an std::string of bytes.
inline std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes.push_back(static_cast<char>(v));
    return bytes;
}

inline const std::uint8_t* Data(const std::string& bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.data());
}

inline int Length(const std::string& bytes) {
    return static_cast<int>(bytes.size());
}

inline std::size_t CountEntries(const char* folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}
inline std::size_t OpenDescriptors() {
    return CountEntries("/proc/self/fd");
}
inline std::size_t RunningThreads() {
    return CountEntries("/proc/self/task");
}

// Waits (bounded) until `condition` holds; for states the test cannot be told about.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline double Elapsed(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

inline void SeedSerialSettings(CMemorySettingsStore& store) {
    store.Seed(kSectionSerial, "PortNumber", std::int64_t{3});
    store.Seed(kSectionSerial, "BaudRate", std::int64_t{38400});
    store.Seed(kSectionSerial, "Parity", std::int64_t{'n'});
    store.Seed(kSectionSerial, "DataBits", std::int64_t{8});
    store.Seed(kSectionSerial, "StopBits", std::int64_t{2});
}

class SerialLinkTest : public ::testing::Test {
protected:
    static constexpr int kFrameSize = 512;

    SerialLinkTest() {
        // Runtimes that start a helper thread along with the first thread (ThreadSanitizer)
        // do so now, before a test counts threads.
        std::thread([] {}).join();
        SeedSerialSettings(*m_store);
        m_pLink = MakeLink(m_pty);
    }
    ~SerialLinkTest() override {
        JoinPeer();
        m_pLink.reset();
    }

    std::unique_ptr<CSerialLink> MakeLink(CPtyPair& pty) {
        auto link = std::make_unique<CSerialLink>(m_host);
        link->Settings().m_strPortName = pty.SlavePath();
        LinkTimings fast;
        fast.pollWaitMs = 100;
        fast.sendWaitMs = 500;
        fast.closeWaitMs = 1000;
        link->SetTimings(fast);
        // The peer is a thread of this busy machine: however late it answers, a reply that
        // comes is a reply. Tests of the first wait itself set their own.
        link->firstWaitMs = 5000;
        return link;
    }

    // Runs `script` on the master side in a thread of its own; joined by JoinPeer or teardown.
    void StartPeer(std::function<void(CPtyPair&)> script) {
        JoinPeer();
        m_peer = std::thread([this, script = std::move(script)] { script(m_pty); });
    }
    void JoinPeer() {
        if (m_peer.joinable()) m_peer.join();
    }

    // The peer answers the next frame with `reply`; the frame it saw is kept in m_strSeen.
    void AnswerNextFrame(const std::string& reply) {
        StartPeer([this, reply](CPtyPair& pty) {
            m_strSeen = pty.ReadFrame(3000);
            if (!m_strSeen.empty()) pty.Write(reply);
        });
    }

    CScopedSettingsStore m_store;
    CRecordingHost m_host;
    CPtyPair m_pty;
    std::unique_ptr<CSerialLink> m_pLink;
    std::thread m_peer;
    std::string m_strSeen;
};
