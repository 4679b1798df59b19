#pragma once
// A private JACK server with its dummy driver, for tests and benchmarks that need a real MIDI
// route. Start() runs `jackd -n <private name> --no-realtime -d dummy -r 48000 -p 1024` as a
// child process, points this process's JACK clients at it (JACK_DEFAULT_SERVER) and waits until
// a client can connect; Stop() ends it by its PID. Several test processes can run side by side.
//
// Not thread-safe; use from the test's thread.

#include <sys/types.h>

#include <string>

struct _jack_client;

class CJackServer {
public:
    CJackServer() = default;
    ~CJackServer();  // Stop
    CJackServer(const CJackServer&) = delete;
    CJackServer& operator=(const CJackServer&) = delete;

    // True when the server runs and answers; otherwise Why() says what went wrong.
    bool Start();
    // Ends the server (SIGTERM, then SIGKILL if it does not end within 5 s).
    void Stop();
    bool Running() const { return m_pid > 0; }
    const std::string& Why() const { return m_strWhy; }
    const std::string& Name() const { return m_strName; }

    // True once `port` (a full JACK port name, "client:port") exists and has at least one
    // connection, within `timeoutMs`.
    bool WaitUntilConnected(const std::string& port, int timeoutMs);

private:
    pid_t m_pid = -1;
    std::string m_strName;
    std::string m_strWhy;
    _jack_client* m_pProbe = nullptr;  // our own client, for asking the server about ports
};
