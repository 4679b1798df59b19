#pragma once
// The connection check: finds out, step by step, whether the unit can be reached over a serial
// port or a pair of MIDI devices, and says what is wrong where it cannot. Both programs use it:
// `quorlin-cli doctor` prints its lines, the Communications Setup dialog's Test button shows them.
//
// Serial: the path names a terminal device; the port opens (why not: the owning group and the
// remedy, or which program holds it); the line settings are taken; the unit answers the root
// query, with the round-trip time. When it does not, the other supported speeds are tried and
// the one where the unit answers is named.
// Only the unit's own reply counts as an answer, over either transport: a line that sends the
// query back (a loopback, a mis-wired cable) and one that keeps sending bytes that are not the
// unit's (a flood) are named as such, and no other speed is tried for them.
// MIDI: both devices exist and open; the unit answers the root query, with the round-trip time;
// a long system-exclusive reply (the current program) arrives whole, and how long a frame the
// route carries.
//
// The check uses links of its own over the values it is given, never the engine's: nothing is
// loaded from or saved to the settings, and no message box is shown (what a link would show
// becomes a line's detail). It blocks until done (seconds; longer when the unit is silent and
// other speeds are tried) and may run on any thread, but not while the engine's own link holds
// the same port or devices. SetStopToken ends it early.

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "link/CheckLine.h"

class CDeviceLink;
class CSerialSettings;
namespace midi {
class IMIDIBackend;
}

struct ConnectionCheckTimings {
    int answerWaitMs = 5000;      // how long the unit has to begin its answer at the chosen speed
    int otherSpeedWaitMs = 1000;  // the same at each other speed tried
    int longReplyWaitMs = 10000;  // the whole long reply over MIDI
};

struct ConnectionCheckResult {
    std::vector<CheckLine> lines;
    bool unitAnswered = false;  // the unit answered the root query with the settings checked
};

class CConnectionCheck {
public:
    // Called with each line as soon as it is found, on the thread running the check.
    using LineFound = std::function<void(const CheckLine&)>;

    explicit CConnectionCheck(ConnectionCheckTimings timings = {}, LineFound lineFound = {});

    // Another thread may end the check early through `stop`: a wait for the unit in progress
    // ends at once, no further step is taken and the port or devices are closed, so that they
    // are free for the program's own link within moments. The lines found so far stay; the
    // step that was cut short says "the check was ended".
    void SetStopToken(std::stop_token stop) { m_stop = std::move(stop); }

    ConnectionCheckResult CheckSerial(const CSerialSettings& line);
    ConnectionCheckResult CheckMIDI(std::int32_t inputDevice, std::int32_t outputDevice,
                                    std::shared_ptr<midi::IMIDIBackend> backend);
    // The unit behind a link that is already made (the demo unit): the root query only.
    // `description` names the link on the first line.
    ConnectionCheckResult CheckLink(CDeviceLink& link, const std::string& description);

private:
    class CCheckHost;
    struct Answer {
        enum class Kind { Unit, Silent, Foreign, Echo, Flood, Ended };
        Kind kind = Kind::Silent;
        bool answered = false;  // kind is Unit
        std::string detail;
        std::string reply;
        // The detail names the line's fault whatever its speed, or the check was ended: another
        // speed is not worth a try.
        bool SpeedIrrelevant() const {
            return kind == Kind::Echo || kind == Kind::Flood || kind == Kind::Ended;
        }
    };

    void Add(ConnectionCheckResult& result, CheckLine line);
    // Sends the root query over an open link; `firstWaitMs` as CDeviceLink::firstWaitMs.
    Answer RootQuery(CDeviceLink& link, int firstWaitMs, int timeoutMs);
    // After an exchange without the unit's answer: whether bytes still come in on the open link
    // (listens a moment when any came at all).
    static bool LineKeepsSending(const CDeviceLink& link);
    // The other supported speeds, until the unit answers at one: the line saying where.
    CheckLine SearchOtherSpeeds(const CSerialSettings& line);

    bool Stopped() const { return m_stop.stop_requested(); }

    ConnectionCheckTimings m_timings;
    LineFound m_lineFound;
    std::stop_token m_stop;
};
