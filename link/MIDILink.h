#pragma once
// The device link over a pair of MIDI devices: frames leave as system-exclusive messages on the
// output device, replies come back as system-exclusive input, gathered by the reply collector
// (MIDIReplyCollector.h: what counts as a reply in wait and in poll mode).
//
// Construction loads the MIDI settings record (input and output device numbers); destruction
// closes and destroys the input device, then the output device, then the record, which saves
// itself. Settings() is the record in memory that the setup dialog edits.
//
// Results:
// - Open: 0 when both devices opened; -2 when either cannot be opened (then nothing is left
//   open). When the device number is not one of the system's, the host shows "MIDI input
//   device N does not exist." (or output) with the devices that do exist, by number and name;
//   other failures show no message.
// - SendAndWait: 0 with the reply (0xF7 included) when it was complete within `timeoutMs`; -1
//   otherwise, `reply` unchanged. SendAndPoll: as CDeviceLink says.
// - Exceptions of the MIDI devices never leave the link: a failure while sending shows as a
//   missing reply.
// - A reply longer than CMIDIReplyCollector::kMaxReplyBytes (2 MiB) is discarded: SendAndWait
//   returns -1 at once and the host shows kReplyTooLongText.
// - When the MIDI system reports an error (it refuses a message, or reports an input error),
//   the host is told once ("The MIDI output device failed: ..." / "The MIDI input device
//   failed: ..."), the waiting exchange ends at once, and from then on PeerGone() is true and
//   Send, SendAndWait and SendAndPoll fail at once, without waiting, until the next Open.
// - A frame longer than the open output carries (over JACK 16379 bytes) is never sent: the host
//   shows "The frame of %d bytes is larger than the MIDI connection can carry (%d bytes).", and
//   SendAndWait and SendAndPoll return -1 at once instead of waiting for a reply that cannot come.
//
// Each SendAndWait / SendAndPoll hands the sending to a worker thread of its own (which also
// starts recording on the first transaction after Open), waits for the reply on the calling
// thread, and then waits up to Timings().workerWaitMs (2000 ms) for the worker. A worker that is
// still stuck in the MIDI system after that is left to finish on its own copy of the frame and of
// the devices, so neither a late return nor a vanished MIDI system can harm the link or the
// caller's bytes.
//
// Threads: every operation on the engine's thread, one at a time (SendAndPoll's probe may run a
// nested SendAndWait).

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/DeviceLink.h"
#include "link/Host.h"
#include "link/MIDIReplyCollector.h"
#include "link/midi/MIDIBackend.h"
#include "link/midi/MIDIInDevice.h"
#include "link/midi/MIDIOutDevice.h"
#include "settings/MIDISettings.h"

class CMIDILink : public CDeviceLink, public CMIDIReplyCollector {
public:
    // Over this machine's MIDI system.
    explicit CMIDILink(IHost& host);
    // Over another MIDI system (tests inject a stand-in).
    CMIDILink(IHost& host, std::shared_ptr<midi::IMIDIBackend> backend);
    // A link over the given device numbers for a while (a connection check): it neither loads
    // nor saves the settings.
    CMIDILink(IHost& host, std::shared_ptr<midi::IMIDIBackend> backend, std::int32_t inputDevice,
              std::int32_t outputDevice);
    ~CMIDILink() override;
    CMIDILink(const CMIDILink&) = delete;
    CMIDILink& operator=(const CMIDILink&) = delete;

    CMIDISettings& Settings() { return *m_pSettings; }

    int Open(int bufferSize) override;
    void Close() override;
    void Send(const std::uint8_t* data, int length) override;
    int SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                    std::string& reply) override;
    int SendAndPoll(ICompletionProbe& engine, const std::string& name, const std::uint8_t* data,
                    int length, std::string& reply) override;
    bool PeerGone() const override { return m_bPeerGone.load(); }
    // Ends the waiting exchange and every later one at once with -1, until the next Open.
    void Interrupt() override;
    std::uint64_t BytesReceived() const override { return InputBytes(); }
    // Every frame handed to the output and every message from the input go to `tap`.
    void SetTap(std::shared_ptr<CLinkTap> tap) override;

    // The longest frame the open output carries in one message (over JACK 16379 bytes); the
    // largest std::size_t while closed.
    std::size_t LargestFrame() const { return m_pOutDevice->LargestLongMessage(); }

    // The devices' states (0 closed, 1 opened, 2 recording), for tests.
    int InputState() const { return m_pInDevice->State(); }
    int OutputState() const { return m_pOutDevice->State(); }

private:
    class CSendWorker;

    // False, after telling the user, when the frame is longer than the output carries.
    bool FrameFits(int length);
    // True when the MIDI system has reported a failure of either device since Open; the first
    // time, the user is told.
    bool CheckGone();
    // The message for a device number that is not in `names`, or empty when it is.
    static std::string MissingDeviceText(const char* kind, std::int32_t number,
                                         const std::vector<std::string>& names);
    // "MIDI in N out M", the link's name in the tap.
    std::string TapName() const;
    void TapOutput(const std::uint8_t* data, int length);
    std::unique_ptr<CSendWorker> StartWorker(const std::uint8_t* data, int length);
    void FinishWorker(std::unique_ptr<CSendWorker> worker);

    IHost& m_host;
    std::shared_ptr<midi::IMIDIBackend> m_pBackend;
    std::atomic<bool> m_bPeerGone{false};
    std::atomic<bool> m_bInterrupted{false};  // raised by Interrupt, lowered by Open
    std::shared_ptr<midi::CMIDIInDevice> m_pInDevice;    // shared with running send workers
    std::shared_ptr<midi::CMIDIOutDevice> m_pOutDevice;  // shared with running send workers
    std::unique_ptr<CMIDISettings> m_pSettings;
};
