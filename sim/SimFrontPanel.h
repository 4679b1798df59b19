#pragma once
// The unit's front panel as the key messages reach it: the key matrix, the shortest pause
// between two key presses, and the menus that the program-function keys lead through.
//
// Key matrix: eight columns, four rows; a key message carries one byte per column whose low four
// bits are the rows, a cleared bit meaning "down". The panel reads from it (column, row):
//   (3,3) PROGRAM  (1,3) MORE    (3,2) upper soft key   (3,0) lower soft key   (7,2) EXECUTE
//   (5,0) EXIT     (6,0) ENTER   (6,1) BACKSPACE        (6,2) DOWN             (6,3) UP
//   (1,0) CURSOR   (5,1) SHIFT, held together with (3,0) for YES and with (1,0) for NEXT FIELD
//   keypad in columns 0, 2, 4: row 3 holds 1 2 3, row 2 4 5 6, row 1 7 8 9; (2,0) is 0.
//
// Menus (PROGRAM leads to the program functions from any screen, abandoning what was open):
//   program functions page 1: MORE -> page 2; EXIT -> main
//   page 2: MORE -> page 3; YES -> delete preset; lower -> delete bank; upper -> load new preset
//   page 3: MORE -> page 1; upper -> bank utility
//   load new preset: ENTER or EXIT -> main
//   delete preset: a program change picks the user program to delete (a factory or missing
//     program clears the choice); EXECUTE asks, YES deletes it, EXIT leaves
//   delete bank: EXECUTE asks about the bank selected last, YES deletes it when it is empty
//   bank utility: NEXT FIELD moves the cursor over five fields; DOWN on the third field turns the
//     operation from "copy" to "name"; on the fifth field two digits give the bank number; ENTER
//     accepts them; YES, then EXIT opens the name editor holding the bank's present name, with the
//     character selector on the blank. BACKSPACE removes the last character; UP and DOWN step the
//     selector through the character table; CURSOR adds the selected character once the selector
//     has moved since the last one was added. EXIT closes the editor; YES three times, then EXIT,
//     stores the name (creating the bank when the number was free).
// A key the screen does not take is ignored. So is any key press that comes less than
// kMinKeyGapMs after the previous accepted one. Where the moment a press arrived is known only
// within a window (FrameArrival.h), the press counts from the earliest moment in its window that
// lies far enough after the previous accepted press, and it is ignored only when there is none:
// several presses read together after a delay are not taken as bunched when the delay was long
// enough for them to have come properly spaced, and one that certainly came too soon still is.
//
// Not thread-safe: owned and called by CSimUnit.

#include <cstdint>
#include <string>

#include "sim/FrameArrival.h"

class CSimLibrary;

class CSimFrontPanel {
public:
    static constexpr int kMinKeyGapMs = 100;

    // What a key press asks the unit to change. The unit carries it out.
    struct Action {
        enum class Kind { None, DeleteProgram, DeleteBank, StoreBankName };
        Kind kind = Kind::None;
        int bank = -1;
        int program = -1;
        std::string name;
    };

    // One key message's eight pattern bytes, arrived within `arrival`. `selectedBank` is the bank
    // that the unit's current processor has selected. A pattern that is not eight bytes of 0x00
    // to 0x0F, or has no key down, is no press at all.
    Action Press(const std::string& pattern, FrameArrival arrival, const CSimLibrary& library,
                 int selectedBank);
    // A program change arrived (bank: the selected bank it applies to).
    void ProgramChanged(int bank, int program, const CSimLibrary& library);

    // The open screen, e.g. "main", "delete preset", "bank name editor".
    std::string ScreenName() const;
    // The user program that the delete preset screen would delete; bank -1 when none is chosen.
    int DeleteTargetBank() const { return m_nTargetBank; }
    int DeleteTargetProgram() const { return m_nTargetProgram; }
    // The name being edited in the bank name editor.
    const std::string& NameBuffer() const { return m_strName; }
    // Presses ignored because they came too soon after the previous one.
    int TooSoonCount() const { return m_nTooSoon; }
    // How much sooner than kMinKeyGapMs a press may arrive and still count. 0 (the default) where
    // the clock is the sender's own; a unit served in real time over a line allows for the
    // milliseconds that scheduling and the line's buffering move a frame's arrival by.
    void SetKeyGapTolerance(int ms) { m_nKeyGapToleranceMs = ms; }
    // What the last message did, in words (for logs and test failures).
    const std::string& LastNote() const { return m_strNote; }

private:
    enum class Key;
    enum class Screen;
    Action Take(Key key, const CSimLibrary& library, int selectedBank);
    Action TakeBankUtility(Key key, const CSimLibrary& library);
    void Open(Screen screen);

    Screen m_screen{};  // value 0: the main screen
    int m_nKeyGapToleranceMs = 0;
    bool m_bPressedBefore = false;
    std::int64_t m_nLastPressMs = 0;  // the moment the last accepted press is counted from
    int m_nTooSoon = 0;
    std::string m_strNote;

    int m_nTargetBank = -1;  // delete preset / delete bank
    int m_nTargetProgram = -1;

    int m_nField = 0;  // bank utility
    bool m_bNameOperation = false;
    std::string m_strDigits;
    int m_nSelector = 0;
    bool m_bSelectorMoved = false;
    std::string m_strName;
    int m_nYesCount = 0;
};
