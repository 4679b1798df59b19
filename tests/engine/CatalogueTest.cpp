// The catalogue: key lookups and their caching, banks, programs, information, search.
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include "settings/LinkSettings.h"
#include "settings/SettingsStore.h"
#include "tests/engine/EngineFixture.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kNoCommunication =
    "Unable to communicate with the unit.  Check your communication settings.";

TEST_F(EngineTest, BankListIsReadOnceThroughTheKeyChain) {
    Lines list{"kept"};
    ASSERT_EQ(Engine().GetBankList(list), 0);
    EXPECT_EQ(list, (Lines{"kept", "0 Factory", "1 Rock", "3 Mine"}));
    EXPECT_EQ(transcript, (Lines{"open 512", QueryLine("0 0"), QueryLine("10 0"), QueryLine("20 2"),
                                 QueryLine("21 0"), "close"}));

    transcript.clear();
    Lines again;
    ASSERT_EQ(Engine().GetBankList(again), 0);
    EXPECT_EQ(again, (Lines{"0 Factory", "1 Rock", "3 Mine"}));
    EXPECT_TRUE(transcript.empty());  // the unit is not asked again
    EXPECT_TRUE(host.Messages().empty());
    ExpectBracketHeld(*serial);
}

TEST_F(EngineTest, BankListFailures) {
    struct Case {
        const char* what;
        std::function<void(EngineTest&)> arrange;
        Lines transcript;
        Lines messages;
    } cases[] = {
        {"link cannot be opened",
         [](EngineTest& t) { t.serial->openResult = -2; },
         {"open 512"},
         {}},
        {"unit silent",
         [](EngineTest& t) { t.tree.objects.clear(); },
         {"open 512", QueryLine("0 0"), "close"},
         {kNoCommunication}},
        {"no bank list object",
         [](EngineTest& t) { t.tree.objects["20 2"] = "OBJ 0 22 0 'programs:'\n"; },
         {"open 512", QueryLine("0 0"), QueryLine("10 0"), QueryLine("20 2"), "close"},
         {}},
        {"bank list unanswered",
         [](EngineTest& t) { t.tree.objects.erase("21 0"); },
         {"open 512", QueryLine("0 0"), QueryLine("10 0"), QueryLine("20 2"), QueryLine("21 0"),
          "close"},
         {kNoCommunication}},
        {"reply not a list",
         [](EngineTest& t) { t.tree.objects["21 0"] = "Error: no such object\n"; },
         {"open 512", QueryLine("0 0"), QueryLine("10 0"), QueryLine("20 2"), QueryLine("21 0"),
          "close"},
         {}},
        {"reply not from the unit",
         [](EngineTest& t) {
             t.serial->onWait = [](const std::string&) { return std::string("\xF0\x1C\x71\x00x"); };
         },
         {"open 512", QueryLine("0 0"), "close"},
         {}},
    };
    for (const auto& c : cases) {
        transcript.clear();
        host.Clear();
        DestroyEngine();
        tree = StandardTree();
        Engine();
        c.arrange(*this);
        Lines list{"kept"};
        EXPECT_EQ(Engine().GetBankList(list), -2) << c.what;
        EXPECT_EQ(list, Lines{"kept"}) << c.what;
        EXPECT_TRUE(Engine().BankList().empty()) << c.what;
        EXPECT_EQ(transcript, c.transcript) << c.what;
        EXPECT_EQ(host.MessageTexts(), c.messages) << c.what;
        ExpectBracketHeld(*serial);
    }
}

TEST_F(EngineTest, ProgramListMarksUserPrograms) {
    tree.objects["22 0"] = ListReply({"3 Hall", "7 Plate", "x", "12 Room"});
    tree.objects["31 0"] = ListReply({"7 Plate", "-1 odd", "nonumber"});
    std::vector<ProgramEntry> list;
    ASSERT_EQ(Engine().GetProgramList(list), 0);
    ASSERT_EQ(list.size(), 4u);
    const std::pair<std::string, int> expected[] = {
        {"3 Hall", 0}, {"7 Plate", 1}, {"x", 1} /* no blank: number -1 */, {"12 Room", 0}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(list[i].text, expected[i].first);
        EXPECT_EQ(list[i].user, expected[i].second) << list[i].text;
    }
    EXPECT_EQ(transcript, (Lines{"open 512", QueryLine("0 0"), QueryLine("10 0"), QueryLine("20 2"),
                                 QueryLine("22 0"), QueryLine("0 0"), QueryLine("10 0"),
                                 QueryLine("30 0"), QueryLine("31 0"), "close"}));

    // Keys found once are kept.
    transcript.clear();
    list.clear();
    ASSERT_EQ(Engine().GetProgramList(list), 0);
    EXPECT_EQ(transcript, (Lines{"open 512", QueryLine("22 0"), QueryLine("31 0"), "close"}));
    ExpectBracketHeld(*serial);
}

TEST_F(EngineTest, ProgramListWithAnEmptyDeletableListHasNoUserPrograms) {
    tree.objects["31 0"] = ListReply({});
    std::vector<ProgramEntry> list;
    ASSERT_EQ(Engine().GetProgramList(list), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].user + list[1].user, 0);
    EXPECT_TRUE(host.Messages().empty());
}

// Without the deletable list every program would show as a factory one (and a backup would save
// nothing), so a list that cannot be read fails the whole listing.
TEST_F(EngineTest, ProgramListThatCannotBeReadIsAFailure) {
    struct Case {
        const char* what;
        std::function<void(FakeTree&)> arrange;
        Lines messages;
    } cases[] = {
        {"deletable list unanswered", [](FakeTree& t) { t.objects.erase("31 0"); },
         {kNoCommunication}},
        {"no deletable list object",
         [](FakeTree& t) { t.objects["30 0"] = "OBJ 0 32 0 'other'\n"; }, {}},
        {"deletable list not a list", [](FakeTree& t) { t.objects["31 0"] = "garbage\n"; }, {}},
        {"program list unanswered", [](FakeTree& t) { t.objects.erase("22 0"); },
         {kNoCommunication}},
        {"program list not a list", [](FakeTree& t) { t.objects["22 0"] = "garbage\n"; }, {}},
    };
    for (const auto& c : cases) {
        DestroyEngine();
        tree = StandardTree();
        c.arrange(tree);
        host.Clear();
        std::vector<ProgramEntry> list{{"kept", 0}};
        EXPECT_EQ(Engine().GetProgramList(list), -2) << c.what;
        EXPECT_EQ(list.size(), 1u) << c.what;
        EXPECT_EQ(host.MessageTexts(), c.messages) << c.what;
        ExpectBracketHeld(*serial);
    }
}

TEST_F(EngineTest, ProgramsNumberedOutsideTheMidiRangeAreLeftOut) {
    // 4294967301 would have wrapped round to 5 before numbers were clamped to 32 bits.
    tree.objects["22 0"] =
        ListReply({"3 Hall", "200 Big", "-5 Low", "127 Top", "4294967301 Wrap", "x"});
    tree.objects["31 0"] = ListReply({"200 Big", "127 Top", "5 Five"});
    std::vector<ProgramEntry> list;
    ASSERT_EQ(Engine().GetProgramList(list), 0);
    ASSERT_EQ(list.size(), 3u);
    const std::pair<std::string, int> expected[] = {{"3 Hall", 0}, {"127 Top", 1}, {"x", 0}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].text, expected[i].first);
        EXPECT_EQ(list[i].user, expected[i].second) << list[i].text;
    }
    EXPECT_EQ(host.MessageTexts(),
              Lines{"The unit lists programs numbered outside 0 to 127, which cannot be loaded; "
                    "they are left out: \"200 Big\", \"-5 Low\", \"4294967301 Wrap\""});

    // Nor can such a number be sent: it would put a status byte in the data byte.
    transcript.clear();
    EXPECT_EQ(Engine().SelectProgram(0, 200), -2);
    EXPECT_EQ(Engine().SelectProgram(0, -5), -2);
    EXPECT_EQ(Engine().SelectProgram(16, 5), -2);
    EXPECT_TRUE(transcript.empty());
}

TEST_F(EngineTest, ProgramListInsideTheCallersBracket) {
    std::vector<ProgramEntry> list;
    Engine();
    serial->isOpen = true;  // as if the caller had opened it
    ASSERT_EQ(Engine().GetProgramList(list, false), 0);
    EXPECT_EQ(serial->openCount, 0);
    EXPECT_EQ(serial->closeCount, 0);
}

TEST_F(EngineTest, FailedKeyLookupIsRetriedAndNeverSendsMinusOne) {
    tree.objects["20 2"] = "OBJ 0 21 0 'bank:'\n";  // no program list object yet
    std::vector<ProgramEntry> list;
    EXPECT_EQ(Engine().GetProgramList(list), -2);
    for (const auto& line : transcript) EXPECT_EQ(line.find("46 46 46 46"), std::string::npos);

    tree = StandardTree();
    transcript.clear();
    ASSERT_EQ(Engine().GetProgramList(list), 0);
    EXPECT_EQ(transcript.at(1), QueryLine("0 0"));  // looked up again
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(EngineTest, SelectBankAndProgramTranscripts) {
    ASSERT_EQ(Engine().SelectBank(37, 2), 0);
    ASSERT_EQ(Engine().SelectProgram(15, 5), 0);
    serial->isOpen = true;
    ASSERT_EQ(Engine().SelectBank(5, 1, false), 0);
    serial->isOpen = false;
    EXPECT_EQ(transcript,
              (Lines{"open 512", "send F0 1C 70 00 03 00 00 02 05 00 02 F7", "pause 300", "close",
                     "open 512", "send CF 05", "pause 300", "close",
                     "send F0 1C 70 00 03 00 00 00 05 00 01 F7", "pause 300"}));

    transcript.clear();
    serial->openResult = -2;
    EXPECT_EQ(Engine().SelectBank(1, 1), -2);
    EXPECT_EQ(Engine().SelectProgram(0, 1), -2);
    EXPECT_EQ(transcript, (Lines{"open 512", "open 512"}));
    EXPECT_TRUE(host.Messages().empty());
}

// A bank select or program change that cannot go out (the unit's side went as it was sent) is a
// failure, as in a key sequence: no pause follows, and the engine does not take the unit to be on
// that bank or program, so that nothing fetched next is recorded there.
TEST_F(EngineTest, SelectBankAndProgramFailWhenTheUnitIsGone) {
    struct Case {
        const char* what;
        std::function<int(CLibrarian&)> select;
    };
    const Case cases[] = {
        {"bank select", [](CLibrarian& e) { return e.SelectBank(37, 2); }},
        {"program change", [](CLibrarian& e) { return e.SelectProgram(15, 5); }},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Engine().SelectBank(3, 1), 0);
        ASSERT_EQ(Engine().SelectProgram(0, 4), 0);
        transcript.clear();
        serial->goneAfterSends = serial->sendCount + 1;  // gone as the next message goes out
        EXPECT_EQ(c.select(Engine()), -2) << c.what;
        EXPECT_EQ(std::count(transcript.begin(), transcript.end(), std::string("pause 300")), 0)
            << c.what;
        EXPECT_EQ(Engine().SelectedProgram(), -1) << c.what;
        serial->goneAfterSends = -1;
    }
    // A bank select that did not go out leaves no bank selected.
    EXPECT_EQ(Engine().SelectedBank(), 3);  // the program change failed last: the bank stays
    serial->goneAfterSends = serial->sendCount + 1;
    EXPECT_EQ(Engine().SelectBank(8, 1), -2);
    EXPECT_EQ(Engine().SelectedBank(), -1);
}

TEST_F(EngineTest, ProgramInformation) {
    std::string text = "old";
    ASSERT_EQ(Engine().GetProgramInfo(1, text), 0);
    EXPECT_EQ(text, "Big Hall wet 100% ");
    EXPECT_EQ(transcript, (Lines{"open 512", QueryLine("0 0"), QueryLine("4000001 0"),
                                 QueryLine("50 0"), "close"}));

    // The column key is kept; the processor column is read each time.
    transcript.clear();
    ASSERT_EQ(Engine().GetProgramInfo(1, text), 0);
    EXPECT_EQ(transcript, (Lines{"open 512", QueryLine("4000001 0"), QueryLine("50 0"), "close"}));

    ASSERT_EQ(Engine().GetProgramInfo(2, text), 0);
    EXPECT_EQ(text, "There is no information available for the selected program");
    ExpectBracketHeld(*serial);
}

TEST_F(EngineTest, ProgramInformationFailuresNeverQueryANegativeKey) {
    struct Case {
        const char* what;
        std::function<void(FakeTree&)> arrange;
        int result;
    } cases[] = {
        {"no processor column", [](FakeTree& t) { t.objects["0 0"] = "ROOT 0 0 0 'root'\n"; }, -2},
        {"empty column listing", [](FakeTree& t) { t.objects.erase("4000001 0"); }, -2},
        {"negative info key",
         [](FakeTree& t) { t.objects["4000001 0"] = "COL 0 -5 0 'info info'\n"; }, -2},
        {"empty information reply", [](FakeTree& t) { t.objects.erase("50 0"); }, -2},
    };
    for (const auto& c : cases) {
        DestroyEngine();
        tree = StandardTree();
        c.arrange(tree);
        transcript.clear();
        std::string text = "untouched";
        EXPECT_EQ(Engine().GetProgramInfo(1, text), c.result) << c.what;
        for (const auto& line : transcript)
            EXPECT_EQ(line.find("46 46 46 46"), std::string::npos) << c.what << ": " << line;
        EXPECT_EQ(transcript.back(), "close") << c.what;
        ExpectBracketHeld(*serial);
    }
}

TEST_F(EngineTest, CatalogueLookupsAndUpdates) {
    LoadBanks({"0 Factory", "1 Rock", "2 ", "x", "5 Mine"});
    EXPECT_EQ(Engine().GetBankName(1), "Rock");
    EXPECT_EQ(Engine().GetBankName(2), "");
    EXPECT_EQ(Engine().GetBankName(4), "");
    EXPECT_EQ(Engine().NextFreeBankNumber(), 3);

    Engine().StoreBankEntry(4, "New");
    Engine().StoreBankEntry(1, "Rock 2");
    Engine().StoreBankEntry(9, "Last");
    EXPECT_EQ(Engine().BankList(),
              (Lines{"0 Factory", "1 Rock 2", "2 ", "x", "4 New", "5 Mine", "9 Last"}));
    EXPECT_TRUE(transcript.empty());
}

TEST(CatalogueTable, NextFreeBankNumber) {
    struct Case {
        Lines entries;
        int next;
    } cases[] = {{{"0 a", "1 b", "2 c", "5 d"}, 3},
                 {{"0 a", "1 b", "2 c"}, 99},
                 {{}, 99},
                 {{"1 a", "2 b"}, 0},
                 {{"0 a", "junk", "1 b", "3 c"}, 2}};
    for (const auto& c : cases) {
        CRecordingHost host;
        CScopedSettingsStore store;
        Lines transcript;
        CLibrarian engine(host, std::make_unique<CFakeLink>(transcript),
                          std::make_unique<CFakeLink>(transcript));
        for (const auto& e : c.entries) {
            const auto blank = e.find(' ');
            if (blank != std::string::npos)
                engine.StoreBankEntry(std::stoi(e), e.substr(blank + 1));
        }
        EXPECT_EQ(engine.NextFreeBankNumber(), c.next) << ::testing::PrintToString(c.entries);
    }
}

TEST_F(EngineTest, StoreBankEntryPlacesByNumber) {
    LoadBanks({"1 a", "3 b", "7 c"});
    Engine().StoreBankEntry(4, "d");
    EXPECT_EQ(Engine().BankList(), (Lines{"1 a", "3 b", "4 d", "7 c"}));
    Engine().StoreBankEntry(4, "e f");
    EXPECT_EQ(Engine().BankList(), (Lines{"1 a", "3 b", "4 e f", "7 c"}));
    Engine().StoreBankEntry(0, "");
    EXPECT_EQ(Engine().BankList().front(), "0 ");
}

// FindProgram over a unit whose program list follows the bank selected.
class FindProgramTest : public EngineTest {
protected:
    void SetUpBanks(std::map<int, Lines> programs, const Lines& banks) {
        m_programs = std::move(programs);
        Engine();
        serial->onSend = [this](const std::string& frame) {
            if (static_cast<std::uint8_t>(frame[4]) == 0x03) {
                m_selected = frame[7] * 16 + frame[8];
                tree.objects["22 0"] = ListReply(m_programs[m_selected]);
            }
        };
        LoadBanks(banks);
    }
    std::vector<int> SelectedBanks() const {
        std::vector<int> banks;
        for (const auto& line : transcript)
            if (line.rfind("send F0 1C 70 00 03", 0) == 0)
                banks.push_back(std::stoi(line.substr(26, 2), nullptr, 16) * 16 +
                                std::stoi(line.substr(29, 2), nullptr, 16));
        return banks;
    }
    int m_selected = -1;
    std::map<int, Lines> m_programs;
};

TEST_F(FindProgramTest, SearchesFromTheStartRoundToTheStartBank) {
    SetUpBanks({{0, {"0 Hall", "1 Room"}}, {1, {"0 Plate", "1 Big ROOM"}}, {5, {"2 Echo"}}},
               {"0 Factory", "1 User", "5 More"});
    struct Case {
        int startBank, startProgram;
        std::string search;
        int result, bankOut, programOut;
        std::vector<int> selected;
    } cases[] = {
        {0, 0, "room", 0, 0, 1, {0}},           {0, 2, "room", 0, 1, 1, {0, 1}},
        {1, 0, "echo", 0, 2, 0, {1, 5}},        {2, 0, "hall", 0, 0, 0, {5, 0}},
        {1, 1, "plate", 0, 1, 0, {1, 5, 0, 1}},  // the start bank again from its first program
        {0, 0, "2", 0, 2, 0, {0, 1, 5}},         // the number is searched too
        {0, 0, "none", 0, 0, -1, {0, 1, 5, 0}}, {0, -1, "hall", 0, 0, 0, {0, 1, 5, 0}},
        {3, 0, "hall", -2, 3, -1, {}},
    };
    for (const auto& c : cases) {
        transcript.clear();
        int bankOut = 77, programOut = 77;
        EXPECT_EQ(Engine().FindProgram(c.startBank, c.startProgram, c.search, bankOut, programOut),
                  c.result)
            << c.search;
        EXPECT_EQ(bankOut, c.bankOut) << c.search;
        EXPECT_EQ(programOut, c.programOut) << c.search;
        EXPECT_EQ(SelectedBanks(), c.selected) << c.search;
        EXPECT_EQ(transcript.front(), "open 512");
        EXPECT_EQ(transcript.back(), "close");
        ExpectBracketHeld(*serial);
    }
}

TEST_F(FindProgramTest, OneBankWithoutMatchIsSearchedTwice) {
    SetUpBanks({{4, {"0 Hall"}}}, {"4 Only"});
    int bankOut = -5, programOut = -5;
    EXPECT_EQ(Engine().FindProgram(0, 0, "xyz", bankOut, programOut), 0);
    EXPECT_EQ(bankOut, 0);
    EXPECT_EQ(programOut, -1);
    EXPECT_EQ(SelectedBanks(), (std::vector<int>{4, 4}));
}

TEST_F(FindProgramTest, VisitorSeesEachBankAndCanStopBetweenBanks) {
    SetUpBanks({{0, {"0 Hall"}}, {1, {"0 Plate"}}, {5, {"2 Echo"}}}, {"0 Factory", "1 User", "5 More"});
    std::vector<std::string> visited;
    int bankOut = -5, programOut = -5;
    const int result = Engine().FindProgram(
        0, 0, "echo", bankOut, programOut, [&visited](int index, const std::string& entry) {
            visited.push_back(std::to_string(index) + ":" + entry);
            return visited.size() < 2;  // stop before the second bank is searched
        });
    EXPECT_EQ(result, -2);
    EXPECT_EQ(programOut, -1);
    EXPECT_EQ(visited, (std::vector<std::string>{"0:0 Factory", "1:1 User"}));
    EXPECT_EQ(SelectedBanks(), (std::vector<int>{0}));  // no bank select after the stop
    ExpectBracketHeld(*serial);
}

TEST_F(FindProgramTest, UnreadableProgramListFails) {
    SetUpBanks({{0, {"0 Hall"}}}, {"0 A", "1 B"});
    serial->onSend = nullptr;
    tree.objects.erase("22 0");
    int bankOut = 0, programOut = 0;
    EXPECT_EQ(Engine().FindProgram(0, 0, "x", bankOut, programOut), -2);
    ExpectBracketHeld(*serial);

    serial->openResult = -2;
    bankOut = 42;
    EXPECT_EQ(Engine().FindProgram(0, 0, "x", bankOut, programOut), -2);
    EXPECT_EQ(bankOut, 42);  // untouched when the link cannot be opened
}

TEST_F(EngineTest, DeviceTypeChoosesTheLink) {
    struct Case {
        std::optional<int> stored;
        bool midiCurrent;
    } cases[] = {{std::nullopt, false}, {0, false}, {1, true}, {7, false}, {-1, false}};
    for (const auto& c : cases) {
        DestroyEngine();
        store->Clear();
        if (c.stored) store->WriteDword(kSectionOptions, "DeviceType", *c.stored);
        Engine();
        EXPECT_EQ(&Engine().CurrentLink(), c.midiCurrent ? static_cast<CDeviceLink*>(midi)
                                                         : static_cast<CDeviceLink*>(serial))
            << c.stored.value_or(-99);
    }
}

TEST_F(EngineTest, ApplyLinkSettingsSwitchesAndDestructionSavesDeviceType) {
    Engine();
    Engine().GetLinkSettings().deviceType = 1;
    Engine().ApplyLinkSettings();
    EXPECT_EQ(&Engine().CurrentLink(), midi);
    std::string text;
    Engine().GetProgramInfo(1, text);
    EXPECT_GT(midi->openCount, 0);
    EXPECT_EQ(serial->openCount, 0);

    Engine().GetLinkSettings().deviceType = 3;
    Engine().ApplyLinkSettings();
    EXPECT_EQ(&Engine().CurrentLink(), serial);
    DestroyEngine();
    EXPECT_EQ(store->ReadDword(kSectionOptions, "DeviceType"), 3);
}

}  // namespace
