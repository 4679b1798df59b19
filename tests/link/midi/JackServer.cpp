#include "tests/link/midi/JackServer.h"

#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

std::string FindJackd() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    dirs += ":/usr/bin:/usr/local/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        const std::string candidate = dir + "/jackd";
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return {};
}

void Silent(const char*) {}

}  // namespace

CJackServer::~CJackServer() {
    Stop();
}

bool CJackServer::Start() {
    const std::string jackd = FindJackd();
    if (jackd.empty()) {
        m_strWhy = "jackd is not installed";
        return false;
    }
    m_strName = "quorlin-test-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", m_strName.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    jack_set_error_function(Silent);
    jack_set_info_function(Silent);

    m_pid = fork();
    if (m_pid < 0) {
        m_strWhy = "fork failed";
        return false;
    }
    if (m_pid == 0) {
        // The child: ends with the test process even when that one is killed or aborts, and
        // keeps the test's output clean.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == 1) _exit(127);
        if (FILE* null = std::freopen("/dev/null", "w", stdout)) (void)null;
        if (FILE* null = std::freopen("/dev/null", "w", stderr)) (void)null;
        execl(jackd.c_str(), "jackd", "-n", m_strName.c_str(), "--no-realtime", "-d", "dummy", "-r",
              "48000", "-p", "1024", static_cast<char*>(nullptr));
        _exit(127);
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_strWhy = "jackd ended at once (exit status " + std::to_string(status) + ")";
            return false;
        }
        jack_status_t jackStatus{};
        m_pProbe = jack_client_open("quorlin-test-probe",
                                    static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                    &jackStatus, m_strName.c_str());
        if (m_pProbe) {
            jack_activate(m_pProbe);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_strWhy = "jackd did not answer within 15 s";
    Stop();
    return false;
}

void CJackServer::Stop() {
    if (m_pProbe) {
        jack_client_close(m_pProbe);
        m_pProbe = nullptr;
    }
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pid = -1;
}

bool CJackServer::WaitUntilConnected(const std::string& port, int timeoutMs) {
    if (!m_pProbe) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (jack_port_t* p = jack_port_by_name(m_pProbe, port.c_str())) {
            if (jack_port_connected(p) > 0) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}
