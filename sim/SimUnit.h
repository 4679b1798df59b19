#pragma once
// The simulated effects unit, seen from the unit's side: it takes the frames the librarian sends
// and answers them the way the unit does. It holds banks of programs, two processors (DSP A and
// DSP B) that each have a selected bank and run a program, the front panel with its menus, and the
// object tree that the unit's listings describe (SimObjectTree.h).
//
// What it understands (anything else is ignored without an answer):
//   F0 1C 70 00 01 <8 key bytes> F7            a front-panel key press (SimFrontPanel.h)
//   F0 1C 70 00 03 00 00 hi lo 00 dsp F7       bank select: bank hi * 16 + lo (0 to 99), for
//                                              DSP A (dsp 1) or DSP B (dsp 2); that processor
//                                              becomes the current one
//   C0|ch prog                                 program change: the current processor runs program
//                                              `prog` of its selected bank (nothing when there is
//                                              none); channels other than the receive channel are
//                                              ignored (every channel by default)
//   F0 1C 70 00 0A <program text> F7           program load: stored as a user program at the
//                                              lowest free number of the current processor's
//                                              selected bank, and run on that processor; refused
//                                              with F0 1C 70 0D <reason> F7 when the text has no
//                                              name between double quotes (or an empty one), the
//                                              bank does not exist, or it is full
//   F0 1C 70 00 0B F7                          program request: F0 1C 70 00 <text> F7 with the text
//                                              of the program the current processor runs
//   F0 1C 70 00 31 "%X %d" F7                  object query of a key with flags, written exactly
//                                              so (upper-case hexadecimal, no leading zeros):
//                                              F0 1C 70 00 <listing> F7, nothing for unknown keys
//
// Built with the factory set (FactorySet.h); both processors start on bank 0 running its
// program 0, DSP A current.
//
// Not thread-safe: one caller at a time.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/FrameArrival.h"
#include "sim/SimFrontPanel.h"
#include "sim/SimLibrary.h"
#include "sim/SimObjectTree.h"
#include "sim/SimProcessor.h"

class CSimUnit {
public:
    struct Bank {
        int number = -1;
        std::string name;
    };
    struct Program {
        int bank = -1;
        int number = -1;
        std::string name;  // between the text's first two double quotes
        std::string text;
        bool user = false;
    };

    CSimUnit();
    CSimUnit(const CSimUnit&) = delete;
    CSimUnit& operator=(const CSimUnit&) = delete;

    // One complete frame as received (F0 ... F7, or the two bytes of a program change) at nowMs
    // on the unit's clock. Returns the reply frames, each complete from F0 to F7; often none.
    std::vector<std::string> HandleFrame(const std::string& frame, std::int64_t nowMs);
    // The same for a frame known only to have arrived within `arrival` (read off a line late).
    std::vector<std::string> HandleFrame(const std::string& frame, FrameArrival arrival);

    // Contents. Bank numbers 0 to 99, program numbers 0 to 127; false when out of range or taken.
    void ResetToFactorySet();  // also puts both processors back on bank 0, program 0
    void ClearBanks();         // no banks, nothing running
    bool AddBank(int number, const std::string& name);
    bool AddProgram(int bank, int number, const std::string& text, bool user);
    // Seeds banks from a folder of ".sig" files (any letter case), as user programs at the lowest
    // free numbers, in file-name order. Files directly in the folder go into a new bank at the
    // lowest free bank number, named after the folder. A subfolder named "<number> <name>" (or
    // just "<number>") fills bank <number> (0 to 99), creating it with that name when it is new
    // and renaming it when a name is given. Files without a name between double quotes are left
    // out and reported in `problems`. Returns the number of programs added, or -1 when the folder
    // cannot be read.
    int LoadBanksFromFolder(const std::string& folder,
                            std::vector<std::string>* problems = nullptr);
    std::vector<Bank> Banks() const;
    std::vector<Program> Programs(int bank) const;  // by number; empty for a missing bank

    // Processors: 1 = DSP A, 2 = DSP B.
    std::optional<Program> LoadedProgram(int dsp) const;  // user: whether it is stored as one
    int SelectedBank(int dsp) const;
    int CurrentProcessor() const { return m_nCurrent + 1; }
    // The MIDI channel (0 to 15) that program changes must come on; -1: any channel.
    void SetReceiveChannel(int channel) { m_nReceiveChannel = channel; }

    // The front panel: its open screen, the key presses it ignored for coming too soon.
    std::string PanelScreen() const { return m_panel.ScreenName(); }
    int TooSoonKeyCount() const { return m_panel.TooSoonCount(); }
    void SetKeyGapTolerance(int ms) { m_panel.SetKeyGapTolerance(ms); }
    // What the last frame did, in words (for logs and test failures).
    const std::string& LastNote() const { return m_strNote; }

private:
    std::vector<std::string> Key(const std::string& payload, FrameArrival arrival);
    void BankSelect(const std::string& payload);
    void ProgramChange(int channel, int program);
    std::vector<std::string> ProgramLoad(const std::string& text);
    std::vector<std::string> ProgramRequest(const std::string& payload);
    std::vector<std::string> ObjectQuery(const std::string& payload);
    void Run(int processor, int bank, int number);
    void ResetProcessors();

    CSimLibrary m_library;
    std::array<SimProcessor, 2> m_processors;
    int m_nCurrent = 0;  // 0 = DSP A, 1 = DSP B
    int m_nReceiveChannel = -1;
    CSimFrontPanel m_panel;
    CSimObjectTree m_tree;
    std::string m_strNote;
};
