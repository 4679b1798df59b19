#pragma once
// A scripted device link for engine tests: writes every call into a shared transcript (with the
// host's pauses, when the fixture hooks them in), answers SendAndWait from a script, and counts
// the bracket so that a send outside Open shows.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/DeviceLink.h"

inline std::string Hex(const std::uint8_t* data, int length) {
    std::string text;
    char byte[4];
    for (int i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", data[i]);
        text += byte;
    }
    return text;
}

inline std::string Hex(const std::string& bytes) {
    return Hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
}

class CFakeLink : public CDeviceLink {
public:
    explicit CFakeLink(std::vector<std::string>& transcript) : m_transcript(transcript) {}

    // Script. onWait: the whole frame in, the reply bytes out (nothing: no reply in time).
    int openResult = 0;
    std::function<std::optional<std::string>(const std::string& frame)> onWait;
    // SendAndPoll: with pollReply set, that reply arrives; otherwise the probe is asked up to
    // pollProbes times and the poll returns 0 on its first "done", else -1.
    std::optional<std::string> pollReply;
    // Sees every frame given to Send.
    std::function<void(const std::string& frame)> onSend;
    int pollProbes = 11;
    // After this many calls of Send the unit's side is gone (PeerGone); -1: never.
    int goneAfterSends = -1;

    // Records.
    int openCount = 0;
    int closeCount = 0;
    int lastOpenSize = 0;
    bool isOpen = false;
    int callsWhileClosed = 0;
    std::vector<int> firstWaitAtWait;  // firstWaitMs seen by each SendAndWait
    std::vector<std::string> probeNames;
    int sendCount = 0;

    bool PeerGone() const override { return goneAfterSends >= 0 && sendCount >= goneAfterSends; }

    int Open(int bufferSize) override {
        m_transcript.push_back("open " + std::to_string(bufferSize));
        ++openCount;
        lastOpenSize = bufferSize;
        if (isOpen) ++callsWhileClosed;  // opened twice
        if (openResult == 0) isOpen = true;
        return openResult;
    }
    void Close() override {
        m_transcript.push_back("close");
        ++closeCount;
        if (!isOpen) ++callsWhileClosed;
        isOpen = false;
    }
    void Send(const std::uint8_t* data, int length) override {
        Check();
        m_transcript.push_back("send " + Hex(data, length));
        ++sendCount;
        if (onSend) onSend(std::string(reinterpret_cast<const char*>(data), length));
    }
    int SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                    std::string& reply) override {
        Check();
        m_transcript.push_back("wait " + std::to_string(timeoutMs) + " " + Hex(data, length));
        firstWaitAtWait.push_back(firstWaitMs);
        const std::string frame(reinterpret_cast<const char*>(data), length);
        const auto answer = onWait ? onWait(frame) : std::nullopt;
        if (!answer) return -1;
        reply = *answer;
        return 0;
    }
    int SendAndPoll(ICompletionProbe& engine, const std::string& name, const std::uint8_t* data,
                    int length, std::string& reply) override {
        Check();
        m_transcript.push_back("poll " + std::to_string(length) + " bytes, name '" + name + "'");
        lastPollFrame.assign(reinterpret_cast<const char*>(data), length);
        if (pollReply) {
            reply = *pollReply;
            return 0;
        }
        for (int i = 0; i < pollProbes; ++i) {
            probeNames.push_back(name);
            if (engine.ProbeCompletion(name) != 0) return 0;
        }
        return -1;
    }
    std::string lastPollFrame;

private:
    void Check() {
        if (!isOpen) ++callsWhileClosed;
    }
    std::vector<std::string>& m_transcript;
};
