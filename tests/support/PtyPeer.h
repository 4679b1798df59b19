#pragma once
// A pseudo-terminal whose far side a thread of the test plays instead of the unit: it sends every
// byte it receives straight back (a loopback plug, a mis-wired cable), or keeps sending bytes of
// its own without being asked (a flood), until the object goes. Path() is the side a link opens.
//
// The thread only reads and writes the master side; the object is used from one test thread.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

class CPtyPeer {
public:
    enum class Mode { Echo, Flood };

    // `flood`: the bytes sent over and over in Flood mode.
    explicit CPtyPeer(Mode mode, std::string flood = std::string(64, '\x55')) {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) return;
        ::close(slave);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = name;
        m_thread = std::thread([this, mode, flood = std::move(flood)] {
            mode == Mode::Echo ? Echo() : Flood(flood);
        });
    }
    ~CPtyPeer() {
        m_bStop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_master >= 0) ::close(m_master);
    }
    CPtyPeer(const CPtyPeer&) = delete;
    CPtyPeer& operator=(const CPtyPeer&) = delete;

    // Empty when no pseudo-terminal could be made.
    const std::string& Path() const { return m_path; }

private:
    void Echo() {
        char buffer[4096];
        while (!m_bStop) {
            pollfd ready = {m_master, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            // Nobody has the terminal open (between two opens): wait for the next one.
            if (got <= 0) {
                ::usleep(10000);
                continue;
            }
            WriteAll(buffer, static_cast<std::size_t>(got));
        }
    }
    void Flood(const std::string& bytes) {
        char sink[4096];
        while (!m_bStop) {
            // What the link sends is taken and ignored.
            while (::read(m_master, sink, sizeof sink) > 0) {
            }
            WriteAll(bytes.data(), bytes.size());
        }
    }
    void WriteAll(const char* data, std::size_t size) {
        while (size > 0 && !m_bStop) {
            const ssize_t put = ::write(m_master, data, size);
            if (put > 0) {
                data += put;
                size -= static_cast<std::size_t>(put);
                continue;
            }
            // Full, or nobody has the terminal open: try again in a moment.
            ::usleep(1000);
        }
    }

    int m_master = -1;
    std::string m_path;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
