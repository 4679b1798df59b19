#pragma once
// A pseudo-terminal pair for serial link tests: the link opens the slave by its path, the test
// plays the unit on the master. The slave descriptor from openpty stays open for the life of the
// pair, so the master never sees a hang-up unless a test closes it, and the test can look at the
// tty's settings and input queue through it.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

class CPtyPair {
public:
    CPtyPair() {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        m_strSlavePath = name;
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    }
    ~CPtyPair() {
        CloseMaster();
        if (m_slave >= 0) ::close(m_slave);
    }
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    const std::string& SlavePath() const { return m_strSlavePath; }
    int SlaveFd() const { return m_slave; }

    // Writes every byte to the link's side.
    void Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (put > 0) {
                done += static_cast<std::size_t>(put);
            } else {
                pollfd pfd{m_master, POLLOUT, 0};
                if (::poll(&pfd, 1, 2000) <= 0) throw std::runtime_error("pty write stalled");
            }
        }
    }

    // Writes every byte unless the link takes nothing for `stallMs`; false then (the rest may
    // be partly written).
    bool TryWrite(const std::string& bytes, int stallMs) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (put > 0) {
                done += static_cast<std::size_t>(put);
                continue;
            }
            pollfd pfd{m_master, POLLOUT, 0};
            if (::poll(&pfd, 1, stallMs) <= 0) return false;
        }
        return true;
    }

    // The next frame the link wrote, up to and including its 0xF7; empty when none completes
    // within `timeoutMs`. Bytes after the 0xF7 are kept for the next call.
    std::string ReadFrame(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto end = m_pending.find('\xF7');
            if (end != std::string::npos) {
                std::string frame = m_pending.substr(0, end + 1);
                m_pending.erase(0, end + 1);
                return frame;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return {};
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[65536];
            const ssize_t got = ::read(m_master, chunk, sizeof chunk);
            if (got > 0) m_pending.append(chunk, static_cast<std::size_t>(got));
        }
    }

    // Every byte the link wrote that no ReadFrame has returned yet, waiting `quietMs` for more.
    std::string ReadAll(int quietMs) {
        for (;;) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, quietMs) <= 0) break;
            char chunk[65536];
            const ssize_t got = ::read(m_master, chunk, sizeof chunk);
            if (got <= 0) break;
            m_pending.append(chunk, static_cast<std::size_t>(got));
        }
        std::string all;
        all.swap(m_pending);
        return all;
    }

    // Bytes written by the master that the link has not read yet.
    int SlaveInputQueued() const {
        int queued = 0;
        ::ioctl(m_slave, FIONREAD, &queued);
        return queued;
    }

    // The far end goes away, as a unit switched off.
    void CloseMaster() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_strSlavePath;
    std::string m_pending;
};
