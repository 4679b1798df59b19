// The key sequences of program deletion and bank editing, and name entry.
#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "Protocol.h"

namespace {

using Lines = std::vector<std::string>;

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
    expected.push_back("close");
    EXPECT_EQ(transcript, expected);
    EXPECT_EQ(host.WaitCursorBegins(), 1);
    EXPECT_EQ(host.WaitCursorDepth(), 0);
    ExpectBracketHeld(*serial);

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
    ASSERT_EQ(Engine().SetBankName(42, ""), 0);
    Lines expected = SetBankNameHead(42);
    Press(expected, KEY_C6R1, 200, 7);  // one erase per character of the old name
    SetBankNameTail(expected);
    EXPECT_EQ(transcript, expected);
    EXPECT_EQ(Engine().BankList(), Lines{"42 "});
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

}  // namespace
