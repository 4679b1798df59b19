// The time estimate of work with the unit: its pauses are the pauses the engine really makes
// (each operation run against the scripted link, its transcript's pauses added up), its line time
// follows the line's rate, and a time is said in seconds, minutes or hours.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/WorkEstimate.h"
#include "tests/engine/EngineFixture.h"

namespace {

// The pauses of the transcript ("pause 300"), added up.
long PausedMs(const std::vector<std::string>& transcript) {
    long ms = 0;
    for (const auto& line : transcript)
        if (line.rfind("pause ", 0) == 0) ms += std::stol(line.substr(6));
    return ms;
}

TEST_F(EngineTest, EstimatedPausesAreThePausesTheEngineMakes) {
    const int pollWaitMs = LinkTimings{}.pollWaitMs;  // a load's silent wait, not a host pause
    struct Case {
        const char* what;
        std::function<int(CLibrarian&)> run;
        estimate::Work work;
        long unpaused = 0;  // estimated waits that are not the host's pauses
    };
    const std::string text = "\"Big Hall\" mix 40\n";
    const Case cases[] = {
        {"bank select", [](CLibrarian& e) { return e.SelectBank(3, 1); }, {.bankSelects = 1}},
        {"program change",
         [](CLibrarian& e) { return e.SelectProgram(0, 5); },
         {.programChanges = 1}},
        {"load",
         [&](CLibrarian& e) { return e.LoadPatchText(text, "Big Hall.sig"); },
         {.loads = {text.size()}},
         pollWaitMs},
        {"new bank \"A\"",
         [](CLibrarian& e) { return e.SetBankName(5, "A"); },
         {.namings = {{0, "A"}}}},
        {"new bank \"Jo's Scratch\"",
         [](CLibrarian& e) { return e.SetBankName(6, "Jo's Scratch"); },
         {.namings = {{0, "Jo's Scratch"}}}},
        {"new bank \"AA\" (a character typed twice)",
         [](CLibrarian& e) { return e.SetBankName(8, "AA"); },
         {.namings = {{0, "AA"}}}},
        {"rename \"Seven 7\" to \"Tour\"",
         [](CLibrarian& e) { return e.SetBankName(42, "Tour"); },
         {.namings = {{7, "Tour"}}}},
        {"new bank \"Café\" (a character the unit cannot type)",
         [](CLibrarian& e) { return e.SetBankName(9, "Caf\xC3\xA9"); },
         {.namings = {{0, "Caf\xC3\xA9"}}}},
    };
    // Each new bank has a number of its own: the catalogue keeps the banks named before.
    LoadBanks({"1 One", "42 Seven 7"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        serial->pollReply = std::string();  // the unit takes the load without a word
        transcript.clear();
        ASSERT_EQ(c.run(Engine()), 0);
        EXPECT_EQ(estimate::Of(c.work).pauseMs - c.unpaused, PausedMs(transcript));
    }
}

// Times worked out by hand from the pauses (300 ms after a bank select or program change; a
// load's 2 s silent wait and its four keys of 500 ms; a bank naming's 3.5 s of menu keys and
// 400 ms per step and 200 ms per character) and the bytes at the line's rate.
TEST(WorkEstimate, MillisecondsFromPausesAndLineRate) {
    const estimate::Line serial = estimate::SerialLine(38400, 8, 2, 'n');  // 11 bits a byte
    const estimate::Line slow = estimate::SerialLine(9600, 8, 1, 'e');     // 11 bits a byte
    const estimate::Line midi = estimate::MidiLine();                      // 10 bits a byte
    struct Case {
        const char* what;
        estimate::Work work;
        estimate::Line line;
        long atLeastMs;
        long atMostMs;
    };
    const Case cases[] = {
        // 4000 ms of pauses; 10 KiB of text is 2.93 s at 38400 baud.
        {"one load of 10 KiB, 38400 baud", {.loads = {10240}}, serial, 4000 + 2933, 4000 + 3100},
        // The same bytes at 9600 baud take four times as long: 11.73 s.
        {"one load of 10 KiB, 9600 baud", {.loads = {10240}}, slow, 4000 + 11733, 4000 + 12400},
        // 10 KiB over MIDI: 3.28 s.
        {"one load of 10 KiB, MIDI", {.loads = {10240}}, midi, 4000 + 3277, 4000 + 3500},
        // "AB": 3.5 s of menu keys, A one step up and B one more, each entered: 4.7 s.
        {"bank \"AB\" created", {.namings = {{0, "AB"}}}, serial, 4700, 5100},
        // A bank of 40 programs: a bank select, 40 program changes (12.3 s), 40 texts of 1000 bytes
        // (11.5 s on the line) and two reads of its list.
        {"40 programs backed up", estimate::WholeUnitBackup({40}, 1000, 50), serial, 12300 + 11460,
         12300 + 12600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const long ms = static_cast<long>(estimate::Of(c.work).Milliseconds(c.line));
        EXPECT_GE(ms, c.atLeastMs);
        EXPECT_LE(ms, c.atMostMs);
    }
}

TEST(WorkEstimate, TimesAreSaidInSecondsMinutesOrHours) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "About 1 s"},         {400, "About 1 s"},
        {40'400, "About 40 s"},   {59'400, "About 59 s"},
        {59'600, "About 1 min"},  {150'000, "About 3 min"},
        {240'000, "About 4 min"}, {3'569'000, "About 59 min"},
        {3'571'000, "About 1 h"}, {3'900'000, "About 1 h 5 min"},
    };
    for (const auto& [ms, text] : cases) EXPECT_EQ(estimate::AboutText(ms), text) << ms;
}

}  // namespace
