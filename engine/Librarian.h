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
// The link bracket: every operation that talks to the unit opens the current link (512 bytes,
// or the load frame's length), and closes it exactly once on every exit after a successful Open.
// Operations taking a `lock` flag open and close the link themselves when it is true, and run
// inside their caller's bracket when it is false. The primitives (SendFrame, PressKey,
// QueryObject), the key lookups, EnterBankNumber and TypeName never open or close the link: call
// them only inside a bracket.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DeviceLink.h"
#include "KeyPatterns.h"
#include "ProgramEntry.h"
#include "ReplyParser.h"

class CLinkSettings;
class CSerialSettings;
class CMIDISettings;
class IHost;

class CLibrarian : public ICompletionProbe {
public:
    // The program's engine: creates the serial link, then the MIDI link (each loads its own
    // settings), then the link settings over their records; loads "DeviceType" and makes the
    // link it names current.
    explicit CLibrarian(IHost& host);
    // An engine over the given links (tests, the demo unit). The link settings then point at
    // settings records of the engine's own, which are not loaded or saved; "DeviceType" is.
    CLibrarian(IHost& host, std::unique_ptr<CDeviceLink> serial, std::unique_ptr<CDeviceLink> midi);
    // Destroys the serial link, then the MIDI link, then saves "DeviceType".
    ~CLibrarian() override;
    CLibrarian(const CLibrarian&) = delete;
    CLibrarian& operator=(const CLibrarian&) = delete;

    // --- Links -------------------------------------------------------------------------------
    // deviceType 1 makes the MIDI link current; 0, and any other value, the serial link.
    void ApplyLinkSettings();
    CLinkSettings& GetLinkSettings();
    CDeviceLink& CurrentLink() { return *m_pLink; }

    // --- Primitives (inside a bracket) -------------------------------------------------------
    // Sends one frame of `type` with `length` payload bytes. timeoutMs 0: Send, result 0.
    // Otherwise SendAndWait: 0 with the reply in `reply`, -1 when none came in time.
    int SendFrame(std::uint8_t type, const std::uint8_t* payload, int length, int timeoutMs,
                  std::string& reply);
    // One key message, then a pause of pauseMs.
    void PressKey(KeyPattern key, int pauseMs);
    // Queries object `key` ("%X %d", 10 s). Returns the reply text, or the empty text when no
    // reply came (with showError: after the message "Unable to communicate ...") or the reply is
    // not the unit's.
    std::string QueryObject(std::int32_t key, int flags, bool showError);
    static std::int32_t FindChildKey(std::string_view listing, std::string_view name) {
        return CReplyParser::FindChildKey(listing, name);
    }
    static void ParseListReply(std::string_view text, std::vector<std::string>& list) {
        CReplyParser::ParseListReply(text, list);
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
    // Appends the bank entries to `list`; the unit is asked only while the catalogue is empty.
    int GetBankList(std::vector<std::string>& list);
    // Appends the programs of the bank selected on the unit, with their user flags.
    int GetProgramList(std::vector<ProgramEntry>& list, bool lock = true);
    // Bank select of `bank` (0 to 99) for `processor` (1 DSP A, 2 DSP B), then 300 ms.
    int SelectBank(int bank, int processor, bool lock = true);
    // Program change of `program` on `channel` (0 to 15), then 300 ms.
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
    // Sends a ".sig" file to the unit, which stores it as a new program of the selected bank.
    // 0 when the unit took it; -2 otherwise (after a message saying why).
    int LoadPatchFile(std::string path);
    // The text of the program loaded in the unit (any byte values; write it with its length).
    int GetProgramData(std::string& text);
    // Called by the link during a program load: 1 when the unit's root listing contains `name`.
    int ProbeCompletion(const std::string& name) override;

    // --- Editing -----------------------------------------------------------------------------
    int DeletePreset(int bank, int program, int channel, int processor);
    // 0 when deleted; -2 when the bank still holds programs ("Cannot delete bank.  This bank is
    // not empty!"), its program list cannot be read, or the link cannot be opened.
    int DeleteBank(int bank);
    // Creates bank `n` (0 to 99) with `name`, or renames it; -2 for a number outside 0 to 99.
    int SetBankName(int n, const std::string& name);
    // Inside a bracket: the two digit keys of n (0 to 99), 100 ms each.
    void EnterBankNumber(int n);
    // Inside a bracket: types `name` with the step keys from the blank (see NameTable.h); a
    // character the table does not hold is typed as a blank.
    void TypeName(const std::string& name);

    // The largest ".sig" file LoadPatchFile sends.
    static constexpr std::uintmax_t kMaxPatchFileSize = 1024 * 1024;

private:
    void ShowError(const std::string& text);
    void ShowNoCommunication();
    void ResolveLoadKeys();

    IHost& m_host;
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
};
