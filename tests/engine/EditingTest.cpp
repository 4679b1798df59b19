// The key sequences of program deletion and bank editing, and name entry.
#include <gtest/gtest.h>
#include <algorithm>

#include "engine/NameTable.h"
#include "engine/Protocol.h"
#include "tests/engine/EngineFixture.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kNoCommunication =
    "Unable to communicate with the unit.  Check your communication settings.";
// A program delete fetches, presses keys and reads the list again: the unit gone in the middle
// of it is told as lost.
const std::string kConnectionLost = "The connection to the unit was lost.";

std::string KeyLine(KeyPattern key) {
    const auto frame = protocol::BuildFrame(protocol::MSG_KEY, kKeyPatterns[key].data(), 8);
    return "send " + Hex(frame.data(), static_cast<int>(frame.size()));
}

// Appends a key press and its pause, `times` times.
void Press(Lines& lines, KeyPattern key, int pauseMs, int times = 1) {
    for (int i = 0; i < times; ++i) {
        lines.push_back(KeyLine(key));
        lines.push_back("pause " + std::to_string(pauseMs));
    }
}

TEST_F(EngineTest, DeletePresetSequence) {
    ASSERT_EQ(Engine().DeletePreset(37, 10, 2, 2), 0);
    Lines expected{"open 512"};
    Press(expected, KEY_C3R3, 500);
    Press(expected, KEY_C1R3, 500);
    Press(expected, KEY_C3R0_C5R1, 500);
    expected.insert(expected.end(), {"send F0 1C 70 00 03 00 00 02 05 00 02 F7", "pause 500",
                                     "send C2 0A", "pause 500", "send C2 0A", "pause 500"});
    Press(expected, KEY_C7R2, 500);
    Press(expected, KEY_C3R0_C5R1, 500);
    Press(expected, KEY_C5R0, 500);
    // The bank's list, read again: program 10 is gone.
    for (const char* query : {"0 0", "10 0", "20 2", "22 0", "0 0", "10 0", "30 0", "31 0"})
        expected.push_back(QueryLine(query));
    expected.push_back("close");
    EXPECT_EQ(transcript, expected);
    EXPECT_EQ(host.WaitCursorBegins(), 1);
    EXPECT_EQ(host.WaitCursorDepth(), 0);
    EXPECT_TRUE(host.Messages().empty());
    ExpectBracketHeld(*serial);

    // A program the list still holds was not deleted.
    transcript.clear();
    EXPECT_EQ(Engine().DeletePreset(37, 7, 2, 2), -2);
    EXPECT_EQ(host.MessageTexts(),
              Lines{"The unit did not delete program 7 of bank 37: it still lists \"7 Plate 3\"."});
    EXPECT_EQ(transcript.back(), "close");

    transcript.clear();
    serial->openResult = -2;
    EXPECT_EQ(Engine().DeletePreset(1, 2, 0, 1), -2);
    EXPECT_EQ(transcript, Lines{"open 512"});
    EXPECT_EQ(host.WaitCursorDepth(), 0);
}

TEST_F(EngineTest, DeleteBankOfAnEmptyBank) {
    LoadBanks({"0 Factory", "3 Mine", "3 Twin", "4 Other"});
    tree.objects["22 0"] = ListReply({});
    ASSERT_EQ(Engine().DeleteBank(3), 0);
    Lines expected{"open 512",        "send F0 1C 70 00 03 00 00 00 03 00 01 F7",
                   "pause 300",
                   QueryLine("22 0"),  // the program list key came with the bank list
                   QueryLine("0 0"),  QueryLine("10 0"),
                   QueryLine("30 0"), QueryLine("31 0")};
    Press(expected, KEY_C3R3, 500);
    Press(expected, KEY_C1R3, 500);
    Press(expected, KEY_C3R0, 500);
    expected.push_back("send F0 1C 70 00 03 00 00 00 03 00 01 F7");  // no pause after it
    Press(expected, KEY_C7R2, 500);
    Press(expected, KEY_C3R0_C5R1, 500);
    Press(expected, KEY_C5R0, 500);
    expected.push_back("close");
    EXPECT_EQ(transcript, expected);
    EXPECT_EQ(Engine().BankList(), (Lines{"0 Factory", "3 Twin", "4 Other"}));
    EXPECT_TRUE(host.Messages().empty());
    ExpectBracketHeld(*serial);
}

TEST_F(EngineTest, DeleteBankRefusesABankWithPrograms) {
    LoadBanks({"0 Factory", "3 Mine"});
    EXPECT_EQ(Engine().DeleteBank(3), -2);
    EXPECT_EQ(host.MessageTexts(), Lines{"Cannot delete bank.  This bank is not empty!"});
    EXPECT_EQ(transcript.back(), "close");
    for (const auto& line : transcript) EXPECT_EQ(line.find(KeyLine(KEY_C3R3)), std::string::npos);
    EXPECT_EQ(Engine().BankList().size(), 2u);

    // A bank whose only programs cannot be loaded is not empty either.
    host.Clear();
    tree.objects["22 0"] = ListReply({"200 Stray"});
    EXPECT_EQ(Engine().DeleteBank(3), -2);
    ASSERT_EQ(host.MessageTexts().size(), 2u);
    EXPECT_EQ(host.MessageTexts()[1], "Cannot delete bank.  This bank is not empty!");
    EXPECT_EQ(Engine().BankList().size(), 2u);

    host.Clear();
    tree.objects.erase("22 0");  // the program list cannot be read
    EXPECT_EQ(Engine().DeleteBank(3), -2);
    EXPECT_EQ(Engine().BankList().size(), 2u);
    ExpectBracketHeld(*serial);
}

TEST_F(EngineTest, DeletingTheLastBankMakesTheNextListComeFromTheUnit) {
    LoadBanks({"8 Only"});
    tree.objects["22 0"] = ListReply({});
    ASSERT_EQ(Engine().DeleteBank(8), 0);
    EXPECT_TRUE(Engine().BankList().empty());
    transcript.clear();
    tree.objects["21 0"] = ListReply({"0 Fresh"});
    Lines list;
    ASSERT_EQ(Engine().GetBankList(list), 0);
    EXPECT_EQ(list, Lines{"0 Fresh"});
    EXPECT_EQ(transcript, (Lines{"open 512", QueryLine("21 0"), "close"}));  // key kept
}

Lines SetBankNameHead(int n) {
    Lines lines{"open 512"};
    Press(lines, KEY_C3R3, 500);
    Press(lines, KEY_C1R3, 500, 2);
    Press(lines, KEY_C3R2, 500);
    Press(lines, KEY_C1R0_C5R1, 100, 2);
    Press(lines, KEY_C6R2, 100);
    Press(lines, KEY_C1R0_C5R1, 100, 2);
    Press(lines, DigitKey(n / 10), 100);
    Press(lines, DigitKey(n % 10), 100);
    Press(lines, KEY_C6R0, 100);
    Press(lines, KEY_C3R0_C5R1, 100);
    Press(lines, KEY_C5R0, 100);
    return lines;
}

void SetBankNameTail(Lines& lines) {
    Press(lines, KEY_C5R0, 100);
    Press(lines, KEY_C3R0_C5R1, 100, 3);
    Press(lines, KEY_C5R0, 100);
    lines.push_back("close");
}

TEST_F(EngineTest, SetBankNameCreatesABank) {
    LoadBanks({"1 One", "7 Seven"});
    ASSERT_EQ(Engine().SetBankName(5, "A"), 0);
    Lines expected = SetBankNameHead(5);  // no erasing: the bank is new
    Press(expected, KEY_C6R3, 400);
    Press(expected, KEY_C1R0, 200);
    SetBankNameTail(expected);
    EXPECT_EQ(transcript, expected);
    EXPECT_EQ(Engine().BankList(), (Lines{"1 One", "5 A", "7 Seven"}));
    EXPECT_EQ(host.WaitCursorDepth(), 0);
    EXPECT_EQ(host.WaitCursorBegins(), 1);
    ExpectBracketHeld(*serial);
}

TEST_F(EngineTest, SetBankNameRenamesABank) {
    LoadBanks({"42 Seven 7"});
    ASSERT_EQ(Engine().SetBankName(42, "A"), 0);
    Lines expected = SetBankNameHead(42);
    Press(expected, KEY_C6R1, 200, 7);  // one erase per character of the old name
    Press(expected, KEY_C6R3, 400);
    Press(expected, KEY_C1R0, 200);
    SetBankNameTail(expected);
    EXPECT_EQ(transcript, expected);
    EXPECT_EQ(Engine().BankList(), Lines{"42 A"});
}

// After the unit was gone, the name to erase is the one the unit that answers now has: a shorter
// catalogue entry would leave characters of the new unit's name behind.
TEST_F(EngineTest, SetBankNameAfterTheUnitWasGoneErasesTheNameTheUnitHasNow) {
    LoadBanks({"42 Seven 7"});
    serial->openResult = -2;  // the unit is gone
    EXPECT_EQ(Engine().SetBankName(42, "A"), -2);
    serial->openResult = 0;
    tree.objects["21 0"] = ListReply({"42 Longer name 12"});  // another unit answers
    transcript.clear();
    ASSERT_EQ(Engine().SetBankName(42, "A"), 0);
    const auto erased = std::count(transcript.begin(), transcript.end(), KeyLine(KEY_C6R1));
    EXPECT_EQ(erased, 14);  // "Longer name 12", one erase per character
    EXPECT_EQ(Engine().BankList(), Lines{"42 A"});
}

// The progress of a naming counts every key of the sequence against one total, known before
// the first key: a new bank, erasing an old name, a character typed twice in a row (two extra
// keys), one the unit cannot type (a blank).
TEST_F(EngineTest, SetBankNameCountsEveryKeyPress) {
    struct Case {
        int bank;
        std::string name;
    };
    LoadBanks({"42 Seven 7"});
    for (const auto& c : {Case{5, "A"}, Case{42, "Hello World"}, Case{42, "AA"}, Case{5, "a~b"}}) {
        SCOPED_TRACE(c.name);
        transcript.clear();
        std::vector<std::pair<int, int>> told;
        ASSERT_EQ(
            Engine().SetBankName(c.bank, c.name,
                                 [&told](int done, int total) { told.emplace_back(done, total); }),
            0);
        const auto keys = static_cast<int>(
            std::count_if(transcript.begin(), transcript.end(),
                          [](const std::string& line) { return line.rfind("pause ", 0) == 0; }));
        ASSERT_EQ(told.size(), static_cast<std::size_t>(keys) + 1);
        for (int i = 0; i <= keys; ++i) EXPECT_EQ(told[i], std::make_pair(i, keys));
    }
}

TEST_F(EngineTest, SetBankNameRefusesNumbersTheUnitCannotTake) {
    EXPECT_EQ(Engine().SetBankName(100, "x"), -2);
    EXPECT_EQ(Engine().SetBankName(-1, "x"), -2);
    EXPECT_TRUE(transcript.empty());
    EXPECT_TRUE(Engine().BankList().empty());

    serial->openResult = -2;
    EXPECT_EQ(Engine().SetBankName(3, "x"), -2);
    EXPECT_TRUE(Engine().BankList().empty());
    EXPECT_EQ(host.WaitCursorDepth(), 0);
}

TEST_F(EngineTest, EnterBankNumberPressesTwoDigits) {
    Engine();
    serial->isOpen = true;
    Engine().EnterBankNumber(7);
    Engine().EnterBankNumber(42);
    Lines expected;
    Press(expected, KEY_DIGIT_0, 100);
    Press(expected, KEY_DIGIT_7, 100);
    Press(expected, KEY_DIGIT_4, 100);
    Press(expected, KEY_DIGIT_2, 100);
    EXPECT_EQ(transcript, expected);
}

// Name entry as a compact trace: "+" a step up, "-" a step down, "|" the character taken.
std::string NameTrace(const Lines& transcript) {
    std::string trace;
    for (std::size_t i = 0; i + 1 < transcript.size(); i += 2) {
        const auto& key = transcript[i];
        const auto& pause = transcript[i + 1];
        if (key == KeyLine(KEY_C6R3) && pause == "pause 400")
            trace += '+';
        else if (key == KeyLine(KEY_C6R2) && pause == "pause 400")
            trace += '-';
        else if (key == KeyLine(KEY_C1R0) && pause == "pause 200")
            trace += '|';
        else
            trace += '?';
    }
    return trace;
}

TEST_F(EngineTest, TypeNameStepsFromThePreviousCharacter) {
    struct Case {
        std::string name;
        std::string trace;
    } cases[] = {
        {"A", "+|"},
        {"ab", "-|-|"},
        {"AA", "+|+-|"},
        {"-", std::string(43, '-') + "|"},  // position 15, not 96
        {"%", std::string(32, '-') + "|"},  // position 26
        {"0", std::string(27, '+') + "|"},  // position 85
        {" ", "+-|"},
        {"\"", "+-|"},        // not in the table: a blank
        {"a\tb", "-|+|--|"},  // the tab is typed as a blank
        {"\xC3\xA9", "+-|"},  // one UTF-8 character, one blank
        {"", ""},
    };
    Engine();
    serial->isOpen = true;
    for (const auto& c : cases) {
        transcript.clear();
        Engine().TypeName(c.name);
        EXPECT_EQ(NameTrace(transcript), c.trace) << c.name;
    }
    EXPECT_EQ(serial->openCount, 0);
}

// Key presses are never answered: once the link reports the unit's side gone, every further
// press would be lost (over a serial line, after seconds of waiting each). The sequence stops at
// the first send that failed, with one message, and the catalogue stays as it was.
TEST_F(EngineTest, KeySequencesStopAtTheFirstSendThatFailed) {
    struct Case {
        const char* what;
        std::function<int(CLibrarian&)> run;
        int goneAfterSends;
        const std::string& message;
    } cases[] = {
        {"delete preset, third key", [](CLibrarian& e) { return e.DeletePreset(3, 5, 0, 1); }, 3,
         kConnectionLost},
        {"delete preset, bank select", [](CLibrarian& e) { return e.DeletePreset(3, 5, 0, 1); }, 4,
         kConnectionLost},
        {"delete preset, program change", [](CLibrarian& e) { return e.DeletePreset(3, 5, 0, 1); },
         6, kConnectionLost},
        {"delete preset, last key", [](CLibrarian& e) { return e.DeletePreset(3, 5, 0, 1); }, 9,
         kConnectionLost},
        {"delete bank, first key", [](CLibrarian& e) { return e.DeleteBank(3); }, 2,
         kNoCommunication},
        {"delete bank, bank select", [](CLibrarian& e) { return e.DeleteBank(3); }, 5,
         kNoCommunication},
        {"delete bank, last key", [](CLibrarian& e) { return e.DeleteBank(3); }, 8,
         kNoCommunication},
        {"name bank, first key", [](CLibrarian& e) { return e.SetBankName(3, "Ab"); }, 1,
         kNoCommunication},
        {"name bank, bank number", [](CLibrarian& e) { return e.SetBankName(3, "Ab"); }, 11,
         kNoCommunication},
        {"name bank, erasing", [](CLibrarian& e) { return e.SetBankName(3, "Ab"); }, 15,
         kNoCommunication},
        {"name bank, typing", [](CLibrarian& e) { return e.SetBankName(3, "Ab"); }, 20,
         kNoCommunication},
        {"name bank, last key", [](CLibrarian& e) { return e.SetBankName(3, "Ab"); }, 29,
         kNoCommunication},
    };
    for (const auto& c : cases) {
        DestroyEngine();
        tree = StandardTree();
        tree.objects["22 0"] = ListReply({});  // bank 3 is empty
        LoadBanks({"1 One", "3 Mine"});
        serial->goneAfterSends = c.goneAfterSends;
        EXPECT_EQ(c.run(Engine()), -2) << c.what;
        EXPECT_EQ(serial->sendCount, c.goneAfterSends) << c.what;  // nothing after the failure
        ASSERT_GE(transcript.size(), 2u);
        EXPECT_EQ(transcript.back(), "close") << c.what;
        EXPECT_EQ(transcript[transcript.size() - 2].rfind("send ", 0), 0u)
            << c.what << ": no pause after the failed send";
        EXPECT_EQ(host.MessageTexts(), Lines{c.message}) << c.what;
        EXPECT_EQ(Engine().BankList(), (Lines{"1 One", "3 Mine"})) << c.what;
        EXPECT_EQ(host.WaitCursorDepth(), 0) << c.what;
        ExpectBracketHeld(*serial);
    }
}

TEST_F(EngineTest, SequenceThatCompletesBeforeThePeerIsGoneSucceeds) {
    LoadBanks({"1 One"});
    Engine();
    serial->goneAfterSends = 26;  // one more than SetBankName (3, "Ab") sends for a new bank
    EXPECT_EQ(Engine().SetBankName(3, "Ab"), 0);
    EXPECT_EQ(serial->sendCount, 25);
    EXPECT_TRUE(host.Messages().empty());
}

// Key presses are never acknowledged: after the sequence the bank list is read from the unit
// again, past the catalogue that the sequence already changed.
TEST_F(EngineTest, CheckBankDeletedReadsTheUnitsList) {
    LoadBanks({"1 One", "3 Mine"});
    tree.objects["22 0"] = ListReply({});
    ASSERT_EQ(Engine().DeleteBank(3), 0);
    ASSERT_EQ(Engine().BankList(), Lines{"1 One"});

    // The unit did not follow: it still lists bank 3.
    transcript.clear();
    EXPECT_EQ(Engine().CheckBankDeleted(3), -2);
    EXPECT_EQ(transcript, (Lines{"open 512", QueryLine("21 0"), "close"}));
    EXPECT_EQ(host.MessageTexts(),
              Lines{"The unit did not delete bank 3: it still lists \"3 Mine\"."});
    EXPECT_EQ(Engine().BankList(), (Lines{"1 One", "3 Mine"}));  // what the unit holds

    // It did.
    host.Clear();
    tree.objects["21 0"] = ListReply({"1 One", "30 Thirty"});
    EXPECT_EQ(Engine().CheckBankDeleted(3), 0);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(Engine().BankList(), (Lines{"1 One", "30 Thirty"}));

    // The list cannot be read: no verdict, so a failure.
    for (const std::string reply : {"", "garbage\n"}) {
        host.Clear();
        if (reply.empty())
            tree.objects.erase("21 0");
        else
            tree.objects["21 0"] = reply;
        EXPECT_EQ(Engine().CheckBankDeleted(3), -2) << reply;
        EXPECT_EQ(host.MessageTexts(), reply.empty() ? Lines{kNoCommunication} : Lines{});
        EXPECT_EQ(Engine().BankList(), (Lines{"1 One", "30 Thirty"})) << reply;
    }
    ExpectBracketHeld(*serial);
}

TEST_F(EngineTest, CheckBankNameComparesWithTheNameAsTheUnitTypesIt) {
    struct Case {
        const char* what;
        std::string name;
        Lines listed;
        std::string message;  // empty: the check passes
    } cases[] = {
        {"same name", "Ab", {"1 One", "7 Ab", "9 Nine"}, ""},
        {"leading blanks of the entry", "Ab", {"  7 Ab"}, ""},
        {"trailing blanks listed", "Ab", {"7 Ab  "}, ""},
        {"trailing blanks typed", "Ab ", {"7 Ab"}, ""},
        {"a character the unit cannot type is a blank", "a\"b", {"7 a b"}, ""},
        {"a multi-byte character is one blank", "caf\xC3\xA9 x", {"7 caf  x"}, ""},
        {"empty name", "", {"7 "}, ""},
        {"other name", "Ab", {"7 Ba"}, "The unit did not name bank 7 \"Ab\": it lists \"7 Ba\"."},
        {"longer name",
         "Ab",
         {"7 Abc"},
         "The unit did not name bank 7 \"Ab\": it lists \"7 Abc\"."},
        {"blank inside differs",
         "A b",
         {"7 Ab"},
         "The unit did not name bank 7 \"A b\": it lists \"7 Ab\"."},
        {"first entry of the number decides",
         "Ab",
         {"7 Ba", "7 Ab"},
         "The unit did not name bank 7 \"Ab\": it lists \"7 Ba\"."},
        {"bank missing",
         "Ab",
         {"1 One", "70 Ab"},
         "The unit did not name bank 7 \"Ab\": it lists no bank 7."},
    };
    for (const auto& c : cases) {
        DestroyEngine();
        tree = StandardTree();
        tree.objects["21 0"] = ListReply(c.listed);
        host.Clear();
        EXPECT_EQ(Engine().CheckBankName(7, c.name), c.message.empty() ? 0 : -2) << c.what;
        EXPECT_EQ(host.MessageTexts(), c.message.empty() ? Lines{} : Lines{c.message}) << c.what;
        ExpectBracketHeld(*serial);
    }
}

TEST_F(EngineTest, SetBankNameRefusesANameWithoutACharacter) {
    LoadBanks({"1 One"});
    for (const std::string name : {"", " ", "    "}) EXPECT_EQ(Engine().SetBankName(5, name), -2);
    EXPECT_TRUE(transcript.empty());
    EXPECT_EQ(Engine().BankList(), Lines{"1 One"});
    EXPECT_EQ(host.MessageTexts(),
              Lines(3, "A bank name needs at least one character other than a blank."));
}

TEST_F(EngineTest, SetBankNameRefusesANameLongerThanTheLimit) {
    LoadBanks({"1 One"});
    EXPECT_EQ(nametable::kMaxNameLength, 79u);
    EXPECT_EQ(Engine().SetBankName(5, std::string(80, 'A')), -2);
    std::string eighty;  // counted in characters, not bytes
    for (int i = 0; i < 80; ++i) eighty += "\xC3\xA9";
    EXPECT_EQ(Engine().SetBankName(5, eighty), -2);
    EXPECT_TRUE(transcript.empty());
    EXPECT_EQ(Engine().BankList(), Lines{"1 One"});
    EXPECT_EQ(host.MessageTexts(), Lines(2, "A bank name holds at most 79 characters."));

    EXPECT_EQ(Engine().SetBankName(5, std::string(79, 'A')), 0);
    EXPECT_EQ(Engine().GetBankName(5), std::string(79, 'A'));
    eighty.resize(eighty.size() - 2);
    EXPECT_EQ(Engine().SetBankName(6, eighty), 0);
}

}  // namespace
