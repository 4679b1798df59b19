#pragma once
// A private X server (Xvfb) for the life of a test program that needs a real window system: the
// drag and drop and close tests, the keyboard focus tests.

#include <QString>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// A private X server for the life of the test program.
class CPrivateXServer {
public:
    bool Start(QString& error) {
        int fds[2];
        if (::pipe(fds) != 0) {
            error = QStringLiteral("pipe failed");
            return false;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                     "1280x800x24", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        if (m_pid < 0) {
            ::close(fds[0]);
            error = QStringLiteral("fork failed");
            return false;
        }
        // Xvfb writes its display number once it accepts connections.
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (number.empty()) {
            error = QStringLiteral("Xvfb did not start (is it installed?)");
            Stop();
            return false;
        }
        m_display = QStringLiteral(":") + QString::fromStdString(number);
        return true;
    }

    void Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

    ~CPrivateXServer() { Stop(); }
    QString Display() const { return m_display; }

private:
    pid_t m_pid = -1;
    QString m_display;
};
