#pragma once
// A device link in front of another one (usually the simulated unit's) that spoils the exchange
// the way a real connection can: a reply that is lost on its way back, key messages the unit
// never takes, or the unit's side going away after some number of sends (PeerGone() then turns
// true and every exchange fails at once, as the real links do after a hang-up).
//
// Everything else is passed on unchanged. One thread drives it, like any link.

#include <functional>
#include <string>

#include "link/DeviceLink.h"

class CFaultLink : public CDeviceLink {
public:
    explicit CFaultLink(CDeviceLink& inner) : m_inner(inner) { firstWaitMs = inner.firstWaitMs; }

    // A SendAndWait whose frame this matches reaches the unit, but its reply is lost (-1).
    std::function<bool(const std::string& frame)> loseReply;
    // May change the unit's reply to a SendAndWait frame before the engine sees it.
    std::function<void(const std::string& frame, std::string& reply)> editReply;
    // A Send whose frame this matches is lost on the way to the unit.
    std::function<bool(const std::string& frame)> loseSend;
    // After this many sends (Send, SendAndWait and SendAndPoll counted together) the unit's side
    // is gone; -1: never.
    int goneAfterSends = -1;
    // Once a frame sent with Send matches this, the unit's side is gone.
    std::function<bool(const std::string& frame)> goneAfterFrame;

    int sends = 0;           // every Send, SendAndWait and SendAndPoll offered
    int sendsAfterGone = 0;  // of those, the ones offered once the unit's side was gone

    bool PeerGone() const override {
        return m_bGone || (goneAfterSends >= 0 && sends >= goneAfterSends);
    }

    int Open(int bufferSize) override { return m_inner.Open(bufferSize); }
    void Close() override { m_inner.Close(); }
    void Send(const std::uint8_t* data, int length) override {
        if (Gone()) return;
        const std::string frame = Frame(data, length);
        if (goneAfterFrame && goneAfterFrame(frame)) m_bGone = true;
        if (loseSend && loseSend(frame)) return;
        m_inner.Send(data, length);
    }
    int SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                    std::string& reply) override {
        if (Gone()) return -1;
        m_inner.firstWaitMs = firstWaitMs;
        std::string got;
        const int r = m_inner.SendAndWait(data, length, timeoutMs, got);
        const std::string frame = Frame(data, length);
        if (r != 0 || (loseReply && loseReply(frame))) return -1;
        if (editReply) editReply(frame, got);
        reply = got;
        return 0;
    }
    int SendAndPoll(ICompletionProbe& engine, const std::string& name, const std::uint8_t* data,
                    int length, std::string& reply) override {
        if (Gone()) return -1;
        return m_inner.SendAndPoll(engine, name, data, length, reply);
    }

    // The text of an object query frame ("%X %d"), or the empty text for any other frame.
    static std::string QueryText(const std::string& frame) {
        if (frame.size() < 6 || static_cast<unsigned char>(frame[4]) != 0x31) return {};
        return frame.substr(5, frame.size() - 6);
    }
    static bool IsKey(const std::string& frame) {
        return frame.size() > 4 && static_cast<unsigned char>(frame[4]) == 0x01;
    }

private:
    // Counts the send; true when the unit's side was gone before it.
    bool Gone() {
        const bool gone = PeerGone();
        ++sends;
        if (gone) ++sendsAfterGone;
        return gone;
    }
    static std::string Frame(const std::uint8_t* data, int length) {
        return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    }

    CDeviceLink& m_inner;
    bool m_bGone = false;
};
