#pragma once
// CLibrarian: the librarian engine, the only component that speaks to the unit. It owns the
// serial and the MIDI link and the link settings, frames every message, queries the unit's object
// tree and reads its replies, keeps the bank catalogue, moves programs between the unit and
// ".sig" files, and plays the front-panel key sequences that edit banks and programs.
//
// Threads: one thread at a time (in the desktop program a worker thread). Nothing is re-entered
// except ProbeCompletion, which the link calls on the same thread during a program load.
//
// Results: operations return 0 for success and -2 for failure (including "the link could not be
// opened", which the link has already reported); key lookups return a key or -1. Failures that
// concern the user are shown through the host, in a message with an OK button captioned with the
// application title. Fixed pauses after unanswered messages go through IHost::Pause.
//
// Text: every text the engine takes or gives (names, list entries, information texts, messages,
// paths) is UTF-8; the unit's bytes become text by the rule of UnitText.h. Program texts (".sig"
// bytes) are not text: they pass byte for byte.
//
// The link bracket: every operation that talks to the unit opens the current link (512 bytes,
// or the load frame's length), and closes it exactly once on every exit after a successful Open.
// Operations taking a `lock` flag open and close the link themselves when it is true, and run
// inside their caller's bracket when it is false. The primitives (SendFrame, PressKey,
// QueryObject), the key lookups, EnterBankNumber and TypeName never open or close the link: call
// them only inside a bracket.

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/KeyPatterns.h"
#include "engine/LinkBracket.h"
#include "engine/ProgramEntry.h"
#include "engine/ProgramFetch.h"
#include "engine/ProgramSightings.h"
#include "engine/Protocol.h"
#include "engine/ReplyParser.h"
#include "link/DeviceLink.h"
#include "link/Host.h"

class CLinkSettings;
class CSerialSettings;
class CMIDISettings;

// The host as the engine's links see it: passes everything on to the program's host and counts
// the messages the links show, so that the engine does not add a general message of its own to
// a failure the link has already explained. While it keeps messages back (during an operation of
// many steps, see CLibrarian::BeginHeldOperation) a link's message is kept instead of shown, once
// per text, for the engine to tell at the right moment.
class CLinkHost : public IHost {
public:
    struct Message {
        std::string text;
        std::string caption;
        Icon icon = Icon::None;
    };

    explicit CLinkHost(IHost& host) : m_host(host) {}
    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override {
        ++m_nShown;
        {
            std::lock_guard lock(m_mutex);
            if (m_bKeep) {
                for (const auto& kept : m_kept)
                    if (kept.text == text) return;
                m_kept.push_back({text, caption, icon});
                return;
            }
        }
        m_host.ShowMessage(text, caption, icon);
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        return m_host.AskYesNo(text, caption);
    }
    void BeginWaitCursor() override { m_host.BeginWaitCursor(); }
    void EndWaitCursor() override { m_host.EndWaitCursor(); }
    void Pause(int ms) override { m_host.Pause(ms); }
    int Shown() const { return m_nShown.load(); }

    // Keeps the links' messages back from now on (true), or shows them again as they come.
    void Keep(bool keep) {
        std::lock_guard lock(m_mutex);
        m_bKeep = keep;
    }
    // The messages kept so far, oldest first.
    std::vector<Message> Kept() const {
        std::lock_guard lock(m_mutex);
        return m_kept;
    }
    std::size_t KeptCount() const {
        std::lock_guard lock(m_mutex);
        return m_kept.size();
    }
    // Takes the kept messages away (they are no longer kept).
    std::vector<Message> TakeKept() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_kept, {});
    }

private:
    IHost& m_host;
    std::atomic<int> m_nShown{0};  // links may report from their own threads
    mutable std::mutex m_mutex;    // guards the two below
    bool m_bKeep = false;
    std::vector<Message> m_kept;
};

class CLibrarian : public ICompletionProbe {
public:
    // The program's engine: creates the serial link, then the MIDI link (each loads its own
    // settings), then the link settings over their records; loads "DeviceType" and makes the
    // link it names current.
    explicit CLibrarian(IHost& host);
    // An engine over the given links (tests, the demo unit). The link settings then point at
    // settings records of the engine's own, which are not loaded or saved; "DeviceType" is.
    CLibrarian(IHost& host, std::unique_ptr<CDeviceLink> serial, std::unique_ptr<CDeviceLink> midi);
    // The same, with links that the engine builds over its link host (see CLinkHost), as it
    // builds its real ones.
    using LinkFactory = std::function<std::unique_ptr<CDeviceLink>(IHost& linkHost)>;
    CLibrarian(IHost& host, const LinkFactory& serial, const LinkFactory& midi);
    // Destroys the serial link, then the MIDI link, then saves "DeviceType".
    ~CLibrarian() override;
    CLibrarian(const CLibrarian&) = delete;
    CLibrarian& operator=(const CLibrarian&) = delete;

    // --- Links -------------------------------------------------------------------------------
    // deviceType 1 makes the MIDI link current; 0, and any other value, the serial link.
    void ApplyLinkSettings();
    CLinkSettings& GetLinkSettings();
    CDeviceLink& CurrentLink() { return *m_pLink; }
    // True when the serial link found its settings incomplete when it was built (it has told
    // the user so): the program then offers the connection setup, and clears it.
    bool SerialSettingsWereMissing() const {
        return m_pSerialLink && m_pSerialLink->SettingsWereMissing();
    }
    void ClearSerialSettingsMissing() {
        if (m_pSerialLink) m_pSerialLink->ClearSettingsMissing();
    }
    // With `hold` true, once the link is lost (the unit's side went during an operation, the
    // link's PeerGone: a hang-up, the port gone; or the link could not be opened), every later
    // operation fails at once (-2) without opening the link and without a message of the link's:
    // it has said once why. The command-line tool holds it for its one command, whose calls would
    // otherwise each report the port missing; the desktop program leaves it off (the default),
    // so that each command tries the link afresh.
    void SetHoldLinkLoss(bool hold) { m_bHoldLinkLoss = hold; }
    // True once the link was lost while held (see SetHoldLinkLoss).
    bool LinkLost() const { return m_bLinkLost; }

    // One operation of many steps (a whole-unit backup or restore, a bank backup, several files
    // loaded, a search across banks): when the unit goes in the middle of it, the user is told
    // once, not once per step that fails. From BeginHeldOperation to EndHeldOperation link loss
    // is held (as SetHoldLinkLoss(true), starting afresh: a loss before counts no more), the
    // links' messages are kept back, and the engine's own messages about a link that has gone
    // are not shown. The operation looks at LinkLost() after a step fails and stops there.
    // ReportLinkLoss (at once, or EndHeldOperation at the latest) then shows one message:
    // kConnectionLost and the cause, the message of the first call that failed ("Error opening
    // serial port ...", the line's hang-up warning), when the link had been open during the
    // operation; the cause's own message when the link could not be opened at all. The other
    // kept messages are shown at the end, in order, as they would have been. Held operations
    // nest: only the outermost one keeps and tells. EndHeldOperation restores the hold as it
    // was (the command-line tool's stays on, with the loss; the desktop's goes off, so that the
    // next command tries the link afresh). Use CHeldOperation (HeldOperation.h) to pair them.
    void BeginHeldOperation();
    void EndHeldOperation();
    // Tells the loss now (see above), once per held operation; nothing when the link was not
    // lost.
    void ReportLinkLoss();

    // --- Primitives (inside a bracket) -------------------------------------------------------
    // Sends one frame of `type` with `length` payload bytes. timeoutMs 0: Send; 0 when it went
    // out, -2 when it could not (see below). Otherwise SendAndWait: 0 with the reply in `reply`,
    // -1 when none came in time (or the frame could not go out).
    // A frame cannot go out when it is longer than the size this engine opened the link with
    // (the link would drop it silently; it is not sent), or when the link reports after the
    // send that the unit's side is gone.
    int SendFrame(std::uint8_t type, const std::uint8_t* payload, int length, int timeoutMs,
                  std::string& reply);
    // One key message, then a pause of pauseMs. False, without the pause, when the message
    // could not go out (SendFrame -2): the sequence it belongs to must stop there.
    bool PressKey(KeyPattern key, int pauseMs);
    // Queries object `key` ("%X %d", 10 s). Returns the reply text as the unit's bytes (the
    // listings are parsed from them before any conversion), or the empty text when no reply
    // came (with showError: after the message "Unable to communicate ...") or the reply is not
    // the unit's.
    std::string QueryObject(std::int32_t key, int flags, bool showError);
    static std::int32_t FindChildKey(std::string_view listing, std::string_view name) {
        return CReplyParser::FindChildKey(listing, name);
    }
    static bool ParseListReply(std::string_view text, std::vector<std::string>& list) {
        return CReplyParser::ParseListReply(text, list);
    }

    // --- Key lookups (inside a bracket; found keys are kept for the engine's life) -----------
    std::int32_t GetBanksKey();
    std::int32_t GetProgramsKey();
    std::int32_t GetDeleteKey();
    std::int32_t GetColumnKey(int selector);
    // The info key of the selector's processor column: -1 when the column has no info line,
    // -2 when the column cannot be found or its listing is empty.
    std::int32_t GetInfoKey(int selector);

    // --- Catalogue ---------------------------------------------------------------------------
    // Appends the bank entries to `list`; the unit is asked only while the catalogue is empty, or
    // when the unit was gone since the catalogue was read (the link could not be opened, or its
    // far end went during an operation): a unit that comes back may be another one, with other
    // banks.
    // -2 (list untouched) when the link cannot be opened, the bank list object cannot be found,
    // or its reply is missing or not a list; a list without items is a success.
    int GetBankList(std::vector<std::string>& list);
    // Reads the bank list from the unit whatever the catalogue holds, and makes it the
    // catalogue; appends the entries to `list`. Results as GetBankList.
    int ReadBankList(std::vector<std::string>& list);
    // Appends the programs of the bank selected on the unit, with their user flags. -2 (list
    // untouched) when the program list or the deletable list cannot be read (no reply, object
    // not found, or a reply that is not a list), since without the deletable list every program
    // would show as a factory one. Entries numbered outside 0 to 127 cannot be chosen by a
    // program change: they are left out, and reported in one message per listing.
    int GetProgramList(std::vector<ProgramEntry>& list, bool lock = true);
    // GetProgramList for a caller that reports the entries numbered outside 0 to 127 itself:
    // they are appended to `leftOut` (with their user flags) instead of told in a message.
    int GetProgramList(std::vector<ProgramEntry>& list, std::vector<ProgramEntry>& leftOut,
                       bool lock = true);
    // Bank select of `bank` (0 to 99) for `processor` (1 DSP A, 2 DSP B), then 300 ms. -2
    // when the link cannot be opened, or when the bank select cannot go out (SendFrame: the
    // unit's side is gone; no pause then, and no bank counts as selected).
    int SelectBank(int bank, int processor, bool lock = true);
    // Program change of `program` (0 to 127) on `channel` (0 to 15), then 300 ms; -2 for a
    // number outside those (nothing is sent), when the link cannot be opened, or when the
    // change cannot go out (SendProgramChange, as inside a key sequence; no pause then, and no
    // program counts as selected).
    int SelectProgram(int channel, int program);
    // The information text of the program loaded in the selector's processor (the view passes
    // 1); "There is no information available for the selected program" when there is none.
    int GetProgramInfo(int selector, std::string& text);
    // Finds the first program whose entry text contains `search` (without regard to case),
    // from program `startProgram` of the bank at index `startBank` of the catalogue, through
    // the following banks round to the start bank's beginning. 0 with programOut -1: not found.
    // The unit is left on the bank searched last.
    // `onBank`, when given, is called before each bank is searched with the bank's index and
    // entry; returning false stops the search there with -2 (programOut -1).
    using BankVisitor = std::function<bool(int bankIndex, const std::string& bankEntry)>;
    int FindProgram(int startBank, int startProgram, const std::string& search, int& bankOut,
                    int& programOut, const BankVisitor& onBank = {});
    // The name of bank `n` in the catalogue, or the empty text.
    std::string GetBankName(int n) const;
    // Inserts ("%d %s", by ascending number) or replaces the catalogue entry of bank `n`.
    void StoreBankEntry(int n, const std::string& name);
    // The lowest number missing below the catalogue's first gap; 99 when there is no gap.
    int NextFreeBankNumber() const;
    const std::vector<std::string>& BankList() const { return m_bankList; }

    // --- Patch transfer ----------------------------------------------------------------------
    // Sends a ".sig" file to the unit, which stores it as a new program of the selected bank:
    // ReadPatchFile, then LoadPatchText. 0 when the unit took it; -2 otherwise (after a message
    // saying why).
    int LoadPatchFile(std::string path);
    // Reads a ".sig" file for loading and checks it for the current link, without opening it:
    // the name must end in ".sig", the file must be a regular file (a link to one is followed)
    // of at most kMaxPatchFileSize bytes, it must hold a program (not be empty, and name the
    // program between its first two double quotes), and every byte must travel
    // (PatchTextProblem). 0 with the file's bytes in `content`; -2 after a message saying why.
    int ReadPatchFile(const std::string& path, std::string& content);
    // Why `content` cannot be sent over the current link (see protocol::UnsendableReason) as the
    // message that names `path`: "The patch file "PATH" cannot be sent to the unit: the byte
    // 0xF7 at offset 12 would end ..."; empty when it can be sent. Nothing is shown.
    std::string PatchTextProblem(const std::string& content, const std::string& path) const;
    // Sends a text already read (a ".sig" file's bytes) as LoadPatchFile sends a file: checked
    // first (PatchTextProblem: a text that cannot be sent is refused with that message before the
    // link opens); one trailing 0xF7 is not sent (protocol::ProgramPayload). `path` names the
    // text in messages and in the sighting.
    int LoadPatchText(const std::string& content, const std::string& path);
    // The transport of the current link, which decides what a program text may hold.
    protocol::Transport CurrentTransport() const {
        return m_pLink != nullptr && m_pLink == m_pMIDILink.get() ? protocol::Transport::MIDI
                                                                  : protocol::Transport::Serial;
    }
    // The text of the program loaded in the unit (any byte values; write it with its length).
    // Nothing tells which program that is: to fetch a listed program, use FetchProgram.
    int GetProgramData(std::string& text);
    // Program change of `program` on `channel`, then the program's text (SelectProgram,
    // GetProgramData), checked by the name inside it against `listedName`, the name the unit's
    // list gives the program (ProgramFetch.h). When no text comes or the text is another
    // program's, the program change and the request are sent once more; a link that has
    // reported a failure is not asked again. The unit's bank must be selected first.
    // The text is reported to the sightings as fetched (when `report` and ReportsFetches) only
    // when it is the listed program's. When it is not, the engine no longer takes the unit to
    // run `program` (SelectedProgram -1), so that nothing seen next is recorded there.
    ProgramFetch FetchProgram(int channel, int program, const std::string& listedName,
                              bool report = true);
    // Called by the link during a program load: 1 when the unit's root listing contains `name`.
    int ProbeCompletion(const std::string& name) override;

    // --- Sightings ---------------------------------------------------------------------------
    // Where the texts that pass through the engine are reported (none: nowhere). The engine
    // reports every text GetProgramData fetches (at the bank and program it last selected) and
    // every file LoadPatchFile loads (into the bank it last selected); a failure to record one
    // does not change the operation's result. Before DeletePreset removes a program it fetches
    // and records it when the receiver keeps deleted programs (see there).
    void SetSightings(IProgramSightings* sightings) { m_pSightings = sightings; }
    IProgramSightings* Sightings() const { return m_pSightings; }
    // Whether GetProgramData reports what it fetches (a caller that records the text itself,
    // such as a backup, turns it off meanwhile), and how LoadPatchFile reports its files
    // (a restore reports them as restored).
    void SetReportFetches(bool report) { m_bReportFetches = report; }
    bool ReportsFetches() const { return m_bReportFetches; }
    void SetLoadSightingHow(IProgramSightings::How how) { m_loadHow = how; }
    IProgramSightings::How LoadSightingHow() const { return m_loadHow; }
    // The bank and program last selected (-1: none yet).
    int SelectedBank() const { return m_nSelectedBank; }
    int SelectedProgram() const { return m_nSelectedProgram; }

    // --- Editing -----------------------------------------------------------------------------
    // The key sequences below are never acknowledged by the unit. Each stops at the first
    // message that cannot go out (see SendFrame) and then returns -2 after one message,
    // "Unable to communicate ..."; the catalogue is then left as it was.
    // -2 at once for a program outside 0 to 127 or a channel outside 0 to 15.
    // With a sightings receiver that keeps deleted programs, the program is first selected,
    // fetched (FetchProgram) and recorded as fetched; when it cannot be fetched or recorded the
    // user is asked whether to delete it anyway, and No returns -3 with nothing deleted. When
    // the unit sends another program (it does not take the program change that the delete
    // chooses the program with) nothing is deleted: -2 after a message.
    // After the sequence the bank's program list is read again: 0 when the program is gone
    // (and only then is the kept copy recorded as deleted from the bank); -2 after a message
    // when the unit still lists it ("The unit did not delete program 5 of bank 10: it still
    // lists "5 Lead".") or the list cannot be read.
    int DeletePreset(int bank, int program, int channel, int processor);
    // 0 when the sequence was sent; -2 when the bank still holds programs ("Cannot delete bank.
    // This bank is not empty!"), its program list cannot be read, or the link cannot be opened.
    // Whether the unit followed: CheckBankDeleted.
    int DeleteBank(int bank);
    // Creates bank `n` (0 to 99) with `name`, or renames it; -2 for a number outside 0 to 99, a
    // name longer than nametable::kMaxNameLength characters (then after the message "A bank
    // name holds at most 79 characters.") or a blank one (nametable::IsBlankName; after "A bank
    // name needs at least one character other than a blank."); nothing is sent then. Whether
    // the unit followed: CheckBankName. The whole sequence takes some 35 s for a long name; when
    // given, `progress` is told after each key press how many of the sequence's keys are
    // pressed (`done` of `total`).
    using KeyProgress = std::function<void(int done, int total)>;
    int SetBankName(int n, const std::string& name, const KeyProgress& progress = {});
    // After DeleteBank / SetBankName: reads the bank list from the unit again (ReadBankList,
    // so the catalogue then shows what the unit holds) and checks that bank `bank` is gone /
    // that bank `n` is listed under the name as the unit types it (nametable::TypedName;
    // trailing blanks are not compared). 0 when it is; -2 after a message saying what the unit
    // lists instead, or when the list cannot be read.
    int CheckBankDeleted(int bank);
    int CheckBankName(int n, const std::string& name);
    // Inside a bracket: the two digit keys of n (0 to 99), 100 ms each. False when a key could
    // not go out (no further key is pressed).
    bool EnterBankNumber(int n);
    // Inside a bracket: types `name` with the step keys from the blank (see NameTable.h); a
    // character the table does not hold is typed as a blank. False when a key could not go out.
    bool TypeName(const std::string& name);

    // The largest ".sig" file LoadPatchFile sends: its load frame is then the longest frame the
    // unit takes.
    static constexpr std::uintmax_t kMaxPatchFileSize =
        protocol::kMaxFrameBytes - protocol::kFrameOverhead;

private:
    struct KeyStep {
        KeyPattern key;
        int pauseMs;
    };
    // Presses the keys in order; false at the first one that cannot go out.
    bool PressKeys(std::initializer_list<KeyStep> steps);
    // A program change on its own (no pause); false when it could not go out: a number outside
    // 0 to 127 or a channel outside 0 to 15 (nothing is sent), or the unit's side is gone.
    bool SendProgramChange(int channel, int program);
    // GetProgramList, also giving the entries left out for their numbers; `report`: they are
    // also told in one message.
    int ListPrograms(std::vector<ProgramEntry>& list, bool lock,
                     std::vector<ProgramEntry>& leftOut, bool report);
    // The end of a key sequence that could not be sent: one message, -2.
    int KeysNotSent();
    // Fetches program `program` of `bank` (FetchProgram, under the name the bank's list gives
    // it) and records it as fetched, with its text in `copy`; asks the user when it cannot.
    // 0 to go on with the delete (`copy` empty when no copy was kept), -3 when the user says
    // No, -2 after a message when the unit sent another program.
    int KeepDeletedCopy(int bank, int program, int channel, int processor, std::string& copy);
    // Opens the current link for `size` bytes (when `own`), and records the size for SendFrame.
    CLinkBracket Bracket(int size, bool own = true) {
        CLinkBracket bracket(*m_pLink, size, own, &m_nOpenSize,
                             m_bHoldLinkLoss ? &m_bLinkLost : nullptr, &m_bUnitGone);
        if (m_nHeldDepth > 0 && bracket.Opened() && !m_bLinkLost) {
            m_bOpenedWhileHeld = true;
            m_nKeptAtOpen = m_linkHost.KeptCount();
        }
        return bracket;
    }
    void ShowError(const std::string& text);
    void ShowNoCommunication();
    void ResolveLoadKeys();

    IHost& m_host;
    CLinkHost m_linkHost;  // what the links built by the engine report through
    std::unique_ptr<CSerialSettings> m_pOwnSerialSettings;  // only for injected links
    std::unique_ptr<CMIDISettings> m_pOwnMIDISettings;
    std::unique_ptr<CDeviceLink> m_pSerialLink;
    std::unique_ptr<CDeviceLink> m_pMIDILink;
    std::unique_ptr<CLinkSettings> m_pLinkSettings;
    CDeviceLink* m_pLink = nullptr;  // the current link: one of the two above

    std::int32_t m_nBanksKey = -1;
    std::int32_t m_nProgramsKey = -1;
    std::int32_t m_nColumnKey1 = -1;
    std::int32_t m_nColumnKey2 = -1;
    std::int32_t m_nDeleteKey = -1;
    std::vector<std::string> m_bankList;
    IProgramSightings* m_pSightings = nullptr;
    bool m_bReportFetches = true;
    IProgramSightings::How m_loadHow = IProgramSightings::How::LoadedFromFile;
    int m_nSelectedBank = -1;
    int m_nSelectedProgram = -1;
    int m_nOpenSize = 0;  // the size this engine opened the current link with; 0: not known
    bool m_bHoldLinkLoss = false;
    bool m_bLinkLost = false;
    // The held operation (BeginHeldOperation): its depth, the hold and loss from before it,
    // whether the link opened during it, how many messages were kept when it last opened, and
    // whether the loss was told.
    int m_nHeldDepth = 0;
    bool m_bHoldBefore = false;
    bool m_bLostBefore = false;
    bool m_bOpenedWhileHeld = false;
    std::size_t m_nKeptAtOpen = 0;
    bool m_bLossReported = false;
    bool m_bUnitGone = false;  // since the catalogue was last read from the unit
    // While SetBankName runs with a progress: told after each key press (PressKey).
    const KeyProgress* m_pKeyProgress = nullptr;
    int m_nKeysPressed = 0;
    int m_nKeysPlanned = 0;
};
