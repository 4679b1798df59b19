// The engine against the simulated unit, over both reply styles: the flows of the catalogue,
// program load and fetch, deletion and bank editing, with the unit's own view as the judge.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "demo/SimLink.h"
#include "engine/Librarian.h"
#include "engine/ReplyParser.h"
#include "settings/SettingsStore.h"
#include "sim/FrameAssembler.h"
#include "sim/ProgramText.h"
#include "sim/SimUnit.h"
#include "tests/support/FaultLink.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

namespace fs = std::filesystem;
using Style = CSimLink::ReplyStyle;

class SimEngineTest : public ::testing::TestWithParam<Style> {
public:
    SimEngineTest() {
        store->WriteDword(kSectionOptions, "DeviceType", GetParam() == Style::MIDI ? 1 : 0);
        auto serialLink = std::make_unique<CSimLink>(unit, Style::Serial);
        auto midiLink = std::make_unique<CSimLink>(unit, Style::MIDI);
        link = GetParam() == Style::MIDI ? midiLink.get() : serialLink.get();
        host.OnPause([this](int ms) { link->AdvanceClock(ms); });
        engine = std::make_unique<CLibrarian>(host, std::move(serialLink), std::move(midiLink));
    }

    void ExpectCleanBracket() {
        EXPECT_EQ(link->OpenCount(), link->CloseCount());
        EXPECT_FALSE(link->IsOpen());
        EXPECT_EQ(link->ProtocolErrors(), std::vector<std::string>{});
        EXPECT_EQ(unit.TooSoonKeyCount(), 0);
        EXPECT_EQ(host.WaitCursorDepth(), 0);
    }

    // The first bank holding a user program, and that program.
    std::pair<int, int> SomeUserProgram() const {
        for (const auto& bank : unit.Banks())
            for (const auto& p : unit.Programs(bank.number))
                if (p.user) return {bank.number, p.number};
        return {-1, -1};
    }

    CScopedSettingsStore store;
    CSimUnit unit;
    CRecordingHost host;
    CSimLink* link = nullptr;
    std::unique_ptr<CLibrarian> engine;
};

TEST_P(SimEngineTest, CatalogueMatchesTheUnit) {
    std::vector<std::string> banks;
    ASSERT_EQ(engine->GetBankList(banks), 0);
    ASSERT_EQ(banks.size(), unit.Banks().size());
    for (const auto& bank : unit.Banks()) EXPECT_EQ(engine->GetBankName(bank.number), bank.name);

    for (const auto& bank : unit.Banks()) {
        ASSERT_EQ(engine->SelectBank(bank.number, 1), 0);
        std::vector<ProgramEntry> programs;
        ASSERT_EQ(engine->GetProgramList(programs), 0);
        const auto expected = unit.Programs(bank.number);
        ASSERT_EQ(programs.size(), expected.size()) << bank.number;
        for (std::size_t i = 0; i < programs.size(); ++i) {
            int number = -1;
            ASSERT_TRUE(CReplyParser::EntryNumber(programs[i].text, number));
            EXPECT_EQ(number, expected[i].number);
            EXPECT_EQ(programs[i].text.substr(programs[i].text.find(' ') + 1), expected[i].name);
            EXPECT_EQ(programs[i].user, expected[i].user ? 1 : 0) << programs[i].text;
        }
    }
    EXPECT_TRUE(host.Messages().empty());
    ExpectCleanBracket();
}

TEST_P(SimEngineTest, SelectProgramInformationAndData) {
    ASSERT_EQ(engine->SelectBank(0, 1), 0);
    int withInfo = 0;
    for (const auto& p : unit.Programs(0)) {
        ASSERT_EQ(engine->SelectProgram(0, p.number), 0);
        ASSERT_TRUE(unit.LoadedProgram(1));
        EXPECT_EQ(unit.LoadedProgram(1)->number, p.number);
        std::string info;
        ASSERT_EQ(engine->GetProgramInfo(1, info), 0);
        EXPECT_FALSE(info.empty());
        if (info != "There is no information available for the selected program") ++withInfo;

        std::string data;
        ASSERT_EQ(engine->GetProgramData(data), 0);
        EXPECT_EQ(data, GetParam() == Style::MIDI ? p.text + "\xF7" : p.text);
    }
    EXPECT_GT(withInfo, 0);
    ExpectCleanBracket();
}

TEST_P(SimEngineTest, LoadedPatchBecomesAUserProgramAndIsFound) {
    std::vector<std::string> banks;
    ASSERT_EQ(engine->GetBankList(banks), 0);
    ASSERT_EQ(engine->SelectBank(0, 1), 0);
    ASSERT_EQ(engine->SelectProgram(0, unit.Programs(0).front().number), 0);
    std::string data;
    ASSERT_EQ(engine->GetProgramData(data), 0);
    if (GetParam() == Style::MIDI) data.pop_back();  // the frame's end byte

    // The same program under a new name, to a bank of its own.
    const auto quote = data.find('"');
    const auto quote2 = data.find('"', quote + 1);
    ASSERT_NE(quote2, std::string::npos);
    data.replace(quote + 1, quote2 - quote - 1, "Loaded Copy");
    const int bank = engine->NextFreeBankNumber();
    ASSERT_TRUE(unit.AddBank(bank, "Target"));
    const fs::path file =
        fs::temp_directory_path() / ("quorlin-sim-load-" + std::to_string(::getpid()) + ".SIG");
    std::ofstream(file, std::ios::binary) << data;

    ASSERT_EQ(engine->SelectBank(bank, 1), 0);
    EXPECT_EQ(engine->LoadPatchFile(file.string()), 0);
    fs::remove(file);
    const auto programs = unit.Programs(bank);
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs[0].name, "Loaded Copy");
    EXPECT_TRUE(programs[0].user);
    EXPECT_EQ(link->LastOpenSize(), static_cast<int>(data.size()) + 6);
    EXPECT_TRUE(host.Messages().empty());

    engine->StoreBankEntry(bank, "Target");
    int bankOut = -1, programOut = -1;
    ASSERT_EQ(engine->FindProgram(0, 0, "loaded copy", bankOut, programOut), 0);
    EXPECT_EQ(engine->BankList()[bankOut], std::to_string(bank) + " Target");
    EXPECT_EQ(programOut, 0);
    ExpectCleanBracket();
}

TEST_P(SimEngineTest, DeletePresetRemovesTheUserProgram) {
    const auto [bank, program] = SomeUserProgram();
    ASSERT_GE(bank, 0) << "the factory set has a user program";
    const auto before = unit.Programs(bank).size();
    ASSERT_EQ(engine->DeletePreset(bank, program, 0, 1), 0);
    const auto after = unit.Programs(bank);
    EXPECT_EQ(after.size(), before - 1);
    EXPECT_TRUE(std::none_of(after.begin(), after.end(),
                             [&](const auto& p) { return p.number == program; }));
    ExpectCleanBracket();
}

TEST_P(SimEngineTest, CreateRenameAndDeleteABank) {
    std::vector<std::string> banks;
    ASSERT_EQ(engine->GetBankList(banks), 0);
    const int n = engine->NextFreeBankNumber();
    ASSERT_LT(n, 99);

    const std::string names[] = {"New-bank 1%", "Renamed;Z", "ab"};
    for (const auto& name : names) {
        ASSERT_EQ(engine->SetBankName(n, name), 0);
        const auto unitBanks = unit.Banks();
        const auto it = std::find_if(unitBanks.begin(), unitBanks.end(),
                                     [&](const auto& b) { return b.number == n; });
        ASSERT_NE(it, unitBanks.end()) << name;
        EXPECT_EQ(it->name, name);
        EXPECT_EQ(engine->GetBankName(n), name);
        EXPECT_EQ(engine->CheckBankName(n, name), 0) << name;
    }

    // A bank with programs is refused; the empty one goes.
    const int full = unit.Banks().front().number;
    EXPECT_EQ(engine->DeleteBank(full), -2);
    EXPECT_EQ(host.MessageTexts(),
              std::vector<std::string>{"Cannot delete bank.  This bank is not empty!"});
    ASSERT_EQ(engine->DeleteBank(n), 0);
    const auto unitBanks = unit.Banks();
    EXPECT_TRUE(std::none_of(unitBanks.begin(), unitBanks.end(),
                             [&](const auto& b) { return b.number == n; }));
    EXPECT_EQ(engine->GetBankName(n), "");
    EXPECT_EQ(engine->BankList().size(), unitBanks.size());
    EXPECT_EQ(engine->CheckBankDeleted(n), 0);
    EXPECT_EQ(host.Messages().size(), 1u);
    ExpectCleanBracket();
}

// A file shorter than a key frame: the link must still be open wide enough for the keys that
// confirm the load and for the probe's root query.
TEST_P(SimEngineTest, TinyPatchFileLoadsWithinItsBracket) {
    const int bank = 90;
    ASSERT_TRUE(unit.AddBank(bank, "Tiny"));
    ASSERT_EQ(engine->SelectBank(bank, 1), 0);
    const fs::path file =
        fs::temp_directory_path() / ("quorlin-sim-tiny-" + std::to_string(::getpid()) + ".sig");
    std::ofstream(file, std::ios::binary) << "\"ab\"";
    EXPECT_EQ(engine->LoadPatchFile(file.string()), 0);
    fs::remove(file);
    ASSERT_EQ(unit.Programs(bank).size(), 1u);
    EXPECT_EQ(unit.Programs(bank)[0].name, "ab");
    EXPECT_EQ(link->LastOpenSize(), 14);
    EXPECT_TRUE(host.Messages().empty());
    ExpectCleanBracket();  // no frame longer than the link was opened for
}

// The engine's limit on a patch file and the unit's limit on a frame meet exactly: the largest
// file the engine sends is taken, one byte more is refused before anything is sent.
TEST_P(SimEngineTest, PatchFileSizeLimitIsTheUnitsFrameLimit) {
    EXPECT_EQ(CLibrarian::kMaxPatchFileSize + 6, CFrameAssembler::kMaxFrameBytes);
    const int bank = 91;
    ASSERT_TRUE(unit.AddBank(bank, "Large"));
    ASSERT_EQ(engine->SelectBank(bank, 1), 0);
    const fs::path file =
        fs::temp_directory_path() / ("quorlin-sim-large-" + std::to_string(::getpid()) + ".sig");
    std::string content = "preset \"Largest\"\n";
    content.resize(CLibrarian::kMaxPatchFileSize, 'x');
    std::ofstream(file, std::ios::binary) << content;
    EXPECT_EQ(engine->LoadPatchFile(file.string()), 0);
    ASSERT_EQ(unit.Programs(bank).size(), 1u);
    EXPECT_EQ(unit.Programs(bank)[0].name, "Largest");
    EXPECT_TRUE(host.Messages().empty());

    std::ofstream(file, std::ios::binary | std::ios::app) << 'x';
    const auto opens = link->OpenCount();
    EXPECT_EQ(engine->LoadPatchFile(file.string()), -2);
    fs::remove(file);
    EXPECT_EQ(link->OpenCount(), opens);
    ASSERT_EQ(host.Messages().size(), 1u);
    EXPECT_NE(host.MessageTexts()[0].find("is too large"), std::string::npos);
    EXPECT_EQ(unit.Programs(bank).size(), 1u);
    ExpectCleanBracket();
}

// Key presses the unit never got: the sequences cannot tell, the checks after them can.
TEST_P(SimEngineTest, ChecksAfterTheSequencesSeeLostKeyPresses) {
    // A second unit and engine (the fixture's store already chooses the link of the style).
    CSimUnit otherUnit;
    CSimLink inner(otherUnit, GetParam());
    CRecordingHost otherHost;
    otherHost.OnPause([&inner](int ms) { inner.AdvanceClock(ms); });
    auto fault = std::make_unique<CFaultLink>(inner);
    CFaultLink* faultLink = fault.get();
    auto spare = std::make_unique<CSimLink>(otherUnit, GetParam());
    auto engineOwner =
        GetParam() == Style::MIDI
            ? std::make_unique<CLibrarian>(otherHost, std::move(spare), std::move(fault))
            : std::make_unique<CLibrarian>(otherHost, std::move(fault), std::move(spare));
    CLibrarian& faulty = *engineOwner;
    ASSERT_EQ(&faulty.CurrentLink(), faultLink);

    std::vector<std::string> banks;
    ASSERT_EQ(faulty.GetBankList(banks), 0);
    ASSERT_TRUE(otherUnit.AddBank(95, "Empty"));
    faultLink->loseSend = &CFaultLink::IsKey;

    EXPECT_EQ(faulty.SetBankName(94, "Ab"), 0);  // sent, as far as the engine can know
    EXPECT_EQ(faulty.CheckBankName(94, "Ab"), -2);
    EXPECT_EQ(
        otherHost.MessageTexts(),
        std::vector<std::string>{"The unit did not name bank 94 \"Ab\": it lists no bank 94."});
    EXPECT_EQ(faulty.GetBankName(94), "");  // the catalogue shows the unit's list again

    otherHost.Clear();
    EXPECT_EQ(faulty.DeleteBank(95), 0);
    EXPECT_EQ(faulty.CheckBankDeleted(95), -2);
    EXPECT_EQ(
        otherHost.MessageTexts(),
        std::vector<std::string>{"The unit did not delete bank 95: it still lists \"95 Empty\"."});
    EXPECT_EQ(faulty.GetBankName(95), "Empty");
}

TEST_P(SimEngineTest, SilentUnitAndUnopenableLink) {
    link->SetSilent(true);
    std::vector<std::string> banks;
    EXPECT_EQ(engine->GetBankList(banks), -2);
    EXPECT_EQ(host.MessageTexts(),
              std::vector<std::string>{
                  "Unable to communicate with the unit.  Check your communication settings."});
    std::string text;
    EXPECT_EQ(engine->GetProgramData(text), -2);
    ExpectCleanBracket();

    link->SetSilent(false);
    link->SetFailOpen(true);
    host.Clear();
    const int closes = link->CloseCount();
    EXPECT_EQ(engine->GetBankList(banks), -2);
    EXPECT_EQ(engine->SetBankName(3, "x"), -2);
    EXPECT_EQ(engine->DeleteBank(3), -2);
    EXPECT_EQ(link->CloseCount(), closes);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_TRUE(banks.empty());
}

// A byte that ends or breaks a frame on the link never goes out inside a load frame: the file is
// refused before the link opens, naming the byte and its offset. Serial carries the unit's 8-bit
// characters (0x80 to 0xEF); MIDI only bytes below 0x80. One 0xF7 at the very end is the frame
// end the MIDI link keeps in fetched texts: such a file loads on both links, without it.
TEST_P(SimEngineTest, PatchTextsThatWouldBreakTheirFrameNeverReachTheUnit) {
    const bool midi = GetParam() == Style::MIDI;
    const int bank = 92;
    ASSERT_TRUE(unit.AddBank(bank, "Bytes"));
    ASSERT_EQ(engine->SelectBank(bank, 1), 0);
    const std::string body = "preset \"Odd Bytes\"\nmix 50\n";
    enum Where { Start, Middle, End };
    struct Case {
        unsigned char byte;
        Where where;
        bool serialTakes;
        bool midiTakes;
    };
    const Case cases[] = {
        {0xF7, Start, false, false}, {0xF7, Middle, false, false}, {0xF7, End, true, true},
        {0xF0, Start, false, false}, {0xF0, Middle, false, false}, {0xF0, End, false, false},
        {0x80, Start, true, false},  {0x80, Middle, true, false},  {0x80, End, true, false},
        {0xFF, Start, false, false}, {0xFF, Middle, false, false}, {0xFF, End, false, false},
        {0xE9, Middle, true, false},  // an 8-bit character of the unit's table, as in a name
    };
    const fs::path file =
        fs::temp_directory_path() / ("quorlin-sim-bytes-" + std::to_string(::getpid()) + ".sig");
    for (const auto& c : cases) {
        const std::size_t at = c.where == Start ? 0 : c.where == Middle ? body.size() / 2 : body.size();
        std::string content = body;
        content.insert(at, 1, static_cast<char>(c.byte));
        char what[64];
        std::snprintf(what, sizeof what, "0x%02X at offset %zu", c.byte, at);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
        host.Clear();
        link->ClearTranscript();
        const int opens = link->OpenCount();
        const std::size_t programs = unit.Programs(bank).size();
        const bool takes = midi ? c.midiTakes : c.serialTakes;

        const int r = engine->LoadPatchFile(file.string());
        if (takes) {
            EXPECT_EQ(r, 0) << what;
            EXPECT_TRUE(host.Messages().empty()) << what;
            ASSERT_FALSE(link->Transcript().empty()) << what;
            // One load frame whose payload is the file, less a frame end at its very end.
            const std::string sent = link->Transcript().front().bytes;
            const std::string payload =
                c.byte == 0xF7 && c.where == End ? content.substr(0, content.size() - 1) : content;
            EXPECT_EQ(sent, std::string("\xF0\x1C\x70\x00\x0A", 5) + payload + "\xF7") << what;
            EXPECT_EQ(unit.Programs(bank).size(), programs + 1) << what;
        } else {
            EXPECT_EQ(r, -2) << what;
            EXPECT_EQ(link->OpenCount(), opens) << what << ": the link was opened";
            EXPECT_TRUE(link->Transcript().empty()) << what << ": the unit received a frame";
            EXPECT_EQ(unit.Programs(bank).size(), programs) << what;
            ASSERT_EQ(host.Messages().size(), 1u) << what;
            const std::string why =
                c.byte == 0xF7 ? "would end the transfer early; the file is damaged or is not a "
                                 "program of the unit."
                : midi ? "cannot travel over MIDI, which carries only bytes below 0x80."
                       : "would break the transfer; the file is damaged or is not a program of "
                         "the unit.";
            EXPECT_EQ(host.MessageTexts()[0], "The patch file \"" + file.string() +
                                                  "\" cannot be sent to the unit: the byte " +
                                                  what + " " + why);
        }
    }
    fs::remove(file);
    ExpectCleanBracket();
}

// The unit's names and texts reach the engine's callers as UTF-8 (engine/UnitText.h), whether
// the unit holds 8-bit characters or UTF-8; the program's bytes stay exactly as the unit sent
// them. Over the serial link: MIDI carries no byte of 0x80 or more.
class SimUnitTextTest : public SimEngineTest {};

TEST_P(SimUnitTextTest, ListsNamesAndInformationAreUtf8AndProgramsStayByteExact) {
    const std::string cafe8 = "Caf\xE9";            // the unit's 8-bit "é"
    const std::string cafe = "Caf\xC3\xA9";         // "Café" as UTF-8
    const std::string folder = "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0";  // Cyrillic, UTF-8
    unit.ClearBanks();
    unit.AddBank(60, cafe8);
    unit.AddBank(61, "50%1 " + cafe);
    const std::string cafeText = sim::MakeProgramText(cafe8, "Plate", 20, {"Bar \xE9t\xE9"});
    unit.AddProgram(60, 0, cafeText, true);
    unit.AddProgram(60, 1, sim::MakeProgramText(folder, "Hall", 30, {}), true);

    std::vector<std::string> banks;
    ASSERT_EQ(engine->GetBankList(banks), 0);
    EXPECT_EQ(banks, (std::vector<std::string>{"60 " + cafe, "61 50%1 " + cafe}));
    EXPECT_EQ(engine->GetBankName(60), cafe);

    ASSERT_EQ(engine->SelectBank(60, 1), 0);
    std::vector<ProgramEntry> programs;
    ASSERT_EQ(engine->GetProgramList(programs), 0);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].text, "0 " + cafe);
    EXPECT_EQ(programs[1].text, "1 " + folder);

    // Fetched under the name the list gave: the unit's bytes, untouched.
    const ProgramFetch fetch = engine->FetchProgram(0, 0, cafe);
    ASSERT_TRUE(fetch.Fetched()) << fetch.reason;
    EXPECT_EQ(fetch.text, cafeText);
    EXPECT_EQ(fetch.sentName, cafe);
    std::string info;
    ASSERT_EQ(engine->GetProgramInfo(1, info), 0);
    EXPECT_NE(info.find("Bar \xC3\xA9t\xC3\xA9"), std::string::npos) << info;

    // Another program: the reason names both in UTF-8.
    unit.SetReceiveChannel(5);
    const ProgramFetch other = engine->FetchProgram(0, 1, folder);
    EXPECT_EQ(other.status, ProgramFetch::Status::WrongProgram);
    EXPECT_EQ(other.reason, "the unit sent \"" + cafe + "\" instead of \"" + folder + "\"");
    unit.SetReceiveChannel(-1);

    // Found as typed, the letter case of A to Z ignored.
    int bank = -1;
    int program = -1;
    ASSERT_EQ(engine->FindProgram(1, 0, "CAF\xC3\xA9", bank, program), 0);
    EXPECT_EQ(bank, 0);
    EXPECT_EQ(program, 0);
    EXPECT_TRUE(host.Messages().empty());
    ExpectCleanBracket();
}

INSTANTIATE_TEST_SUITE_P(Serial, SimUnitTextTest, ::testing::Values(Style::Serial));

INSTANTIATE_TEST_SUITE_P(Transports, SimEngineTest, ::testing::Values(Style::Serial, Style::MIDI),
                         [](const auto& info) {
                             return info.param == Style::MIDI ? "MIDI" : "Serial";
                         });

}  // namespace
