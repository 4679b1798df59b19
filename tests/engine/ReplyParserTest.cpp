// The readers of the unit's listings, as tables of replies and what is read from them.
#include <gtest/gtest.h>

#include "engine/ReplyParser.h"
#include "engine/TokenCursor.h"

namespace {

using Items = std::vector<std::string>;

TEST(TokenCursor, FollowsStrtok) {
    CTokenCursor cursor("  ab  c'd  ");
    EXPECT_EQ(cursor.Next(" "), "ab");
    EXPECT_EQ(cursor.Next("'"), " c");  // the blank is no delimiter now
    EXPECT_EQ(cursor.Next({}), "d  ");  // the rest
    EXPECT_FALSE(cursor.Next({}));
    EXPECT_FALSE(cursor.Next(" "));

    CTokenCursor blanks("   ");
    EXPECT_FALSE(blanks.Next(" "));
    CTokenCursor empty("");
    EXPECT_FALSE(empty.Next({}));
}

TEST(TokenCursor, NumbersFollowStrtolAndAtoi) {
    // Beyond 32 bits a number is clamped as strtol clamps on a 32-bit long, never wrapped: an
    // overlong key must not read as the key of another object.
    constexpr long kMax = 2147483647L;
    constexpr long kMin = -2147483647L - 1;
    struct Hex {
        const char* token;
        long value;
    } hex[] = {{"1A", 0x1A},
               {"  ff", 0xFF},
               {"-10", -0x10},
               {"+7", 7},
               {"0x1f", 0x1F},
               {"12zz", 0x12},
               {"zz", 0},
               {"", 0},
               {"8000ABC", 0x8000ABC},
               {"7FFFFFFF", kMax},
               {"80000000", kMax},
               {"100000012", kMax},
               {"-80000000", kMin},
               {"-100000012", kMin},
               {"FFFFFFFFFFFFFFFFFF", kMax}};
    for (const auto& c : hex) EXPECT_EQ(tokens::HexValue(c.token), c.value) << c.token;
    struct Dec {
        const char* text;
        int value;
    } dec[] = {{"12", 12},
               {" 7", 7},
               {"-3", -3},
               {"x", 0},
               {"", 0},
               {"2147483647", 2147483647},
               {"4294967301", 2147483647},
               {"2147483648", 2147483647},
               {"-2147483649", -2147483647 - 1},
               {"-4294967301", -2147483647 - 1}};
    for (const auto& c : dec) EXPECT_EQ(tokens::DecimalValue(c.text), c.value) << c.text;
}

TEST(FindChildKey, Lines) {
    struct Case {
        const char* what;
        std::string listing;
        std::string name;
        std::int32_t key;
    } cases[] = {
        {"found by its second word", "OBJ 1 2A 0 'program functions'\n", "functions", 0x2A},
        {"case-sensitive", "OBJ 1 2A 0 'program functions'\n", "Functions", -1},
        {"first matching line wins", "A 0 1 0 'bank: x'\nB 0 2 0 'bank:'\n", "bank:", 1},
        {"empty lines and blank lines pass", "\n\n   \nA 0 FF 0 'delete preset'", "delete", 0xFF},
        {"name ends at the next quote", "A 0 5 0 'load' 'new'\n", "load new", -1},
        {"name starts after the fourth token", "A 0 5 0 x 'name'\n", "x ", 5},
        {"line with three tokens has no name", "A 0 5\n", "", -1},
        {"line with four tokens has no name", "A 0 5 0\n", "", -1},
        {"quotes only: no name", "A 0 5 0 ''''\n", "", -1},
        {"literal percent-s", "A 0 31 0 'delete: %s'\n", "delete: %s", 0x31},
        {"non-hex key reads as 0", "A 0 zz 0 'x'\n", "x", 0},
        {"overlong key is clamped, not wrapped", "A 0 100000012 0 'x'\n", "x", 0x7FFFFFFF},
        {"empty listing", "", "x", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CReplyParser::FindChildKey(c.listing, c.name), c.key) << c.what;
}

TEST(ParseListReply, Shapes) {
    // `list`: whether the reply has the list shape. A header with nothing after it is an empty
    // list; a reply that breaks off before the items is no list at all.
    const std::string head = "LIST 1 2 3 'bank:' 'sel' 5 ";
    struct Case {
        const char* what;
        std::string text;
        Items items;
        bool list = true;
    } cases[] = {
        {"items after the title",
         head + "\"title\" 7 '0 Factory' '1 Rock'",
         {"0 Factory", "1 Rock"}},
        {"leading white space removed, empty kept",
         head + "\"t\" 7 '  2 A' '' '\t3'",
         {"2 A", "", "3"}},
        {"double-quoted items", head + "\"t\" 7 \"4 It's\" '5 x'", {"4 It's", "5 x"}},
        {"unclosed last item runs to the end", head + "\"t\" 7 '6 open", {"6 open"}},
        {"stops at a line break after an item", head + "\"t\" 7 '1 a'\n'2 b'", {"1 a"}},
        {"blank before the line break goes on", head + "\"t\" 7 '1 a' \n'2 b'", {"1 a", "2 b"}},
        {"header without items", head + "\"t\" 7 ", {}},
        {"empty list with a current item of ''", "21 2A 2B 0 'bank:' '' 0 '' 0\n", {}},
        {"no quote in R2: nothing", "LIST 1 2 3 'bank:' 'sel' 5 6 7 8", {}, false},
        {"too few tokens: nothing", "LIST 1 2", {}, false},
        {"no rest after the quoted parts: nothing", "LIST 1 2 3 'a' 'b'", {}, false},
        {"title with nothing after it: nothing", head + "\"t\"", {}, false},
        {"two single quotes open P", head + "''7 '1 a' '2 b'", {"1 a", "2 b"}},
        {"R1 with a quote second", "LIST 1 2 3 'a' 'b'x' \"t\" 7 '9 z'", {"9 z"}},
        {"text of another shape", "Error: no such object", {}, false},
        {"empty text", "", {}, false},
    };
    for (const auto& c : cases) {
        Items items{"kept"};
        EXPECT_EQ(CReplyParser::ParseListReply(c.text, items), c.list) << c.what;
        Items expected{"kept"};
        expected.insert(expected.end(), c.items.begin(), c.items.end());
        EXPECT_EQ(items, expected) << c.what;
    }
}

TEST(FindColumnKey, QualifyingColLines) {
    const std::string root =
        "ROOT 0 0 0 'root'\n"
        "COL 0 14000000 0 'bit 28 too'\n"
        "COL 0 0 0 'zero'\n"
        "COLUMN 0 4000002 0 'not COL'\n"
        "COL 0 4000001 0 'DSP A'\n"
        "COL 0 C000003 0 'both'\n"
        "COL 0 -8000000 0 'negative'\n"
        "XCOL 0 8000004 0 'not COL'\n";
    EXPECT_EQ(CReplyParser::FindColumnKey(root, 1), 0x4000001);
    EXPECT_EQ(CReplyParser::FindColumnKey(root, 2), 0xC000003);
    EXPECT_EQ(CReplyParser::FindColumnKey(root, 3), -1);
    EXPECT_EQ(CReplyParser::FindColumnKey("COL 0 14000000\nCOL 0 0\n", 1), -1);
    EXPECT_EQ(CReplyParser::FindColumnKey("COL\t 0 4000001\n", 1), 0x4000001);  // trimmed token
    EXPECT_EQ(CReplyParser::FindColumnKey("COL 0\n", 1), -1);
}

TEST(FindInfoKey, FirstInfoLineDecides) {
    EXPECT_EQ(CReplyParser::FindInfoKey("COL 0 4000001 0 'A'\nCOL 0 5B 0 'info info'\n"), 0x5B);
    EXPECT_EQ(CReplyParser::FindInfoKey("COL 0 4000001 0 'A'\n"), -1);
    EXPECT_EQ(CReplyParser::FindInfoKey("OBJ 0 5B 0 'info info'\nCOL 0 6 0 'info info'\n"), -1);
    EXPECT_EQ(CReplyParser::FindInfoKey("COL 0\n'info info'"), -1);
    EXPECT_EQ(CReplyParser::FindInfoKey(""), -1);
}

TEST(ParseInfoText, Lines) {
    struct Case {
        const char* what;
        std::string reply;
        bool ok;
        std::string text;
    } cases[] = {
        {"single-quoted and twice quoted", "HEAD\nCOL 1 2 3 'Plate'\n'a' 'b'\n", true, "Plate   "},
        {"double quotes win", "HEAD\nname \"Big 'Hall'\"\n", true, "Big 'Hall' "},
        {"percent pairs become one", "HEAD\nmix 'wet 100%%'\nx '%%%'\n", true, "wet 100% %% "},
        {"a percent pair may make the quote", "HEAD\nx %%\"y\"\n", true, "y "},
        {"line of quotes only adds nothing", "HEAD\n''''\n", true, ""},
        {"line without a second token adds a blank", "HEAD\nonly text\n", true, " "},
        {"first line only", "HEAD\n", true, ""},
        {"empty reply", "", false, ""},
        {"line breaks only", "\n\n", false, ""},
    };
    for (const auto& c : cases) {
        std::string text;
        EXPECT_EQ(CReplyParser::ParseInfoText(c.reply, text), c.ok) << c.what;
        EXPECT_EQ(text, c.text) << c.what;
    }
}

TEST(EntryNumber, DigitsBeforeTheFirstBlankAreTheNumber) {
    // An entry has a number only when, after leading white space, a run of digits (with a minus
    // sign, which makes it out of every range) is followed by a blank; anything else is shown but
    // cannot be acted on, never taken for another entry.
    struct Case {
        std::string entry;
        bool has;
        int number;
        std::string name;
    } cases[] = {
        {"12 Name", true, 12, "Name"},
        {" 3 Big Hall", true, 3, "Big Hall"},
        {"  \t42 Padded", true, 42, "Padded"},
        {"007 x", true, 7, "x"},
        {"12 ", true, 12, ""},
        {"5  two blanks ", true, 5, " two blanks "},
        {"0 Zero", true, 0, "Zero"},
        {"4294967303 x", true, 2147483647, "x"},  // clamped, not wrapped round to 7
        {"99999999999999999999 x", true, 2147483647, "x"},
        {"12", false, 0, ""},
        {"  12", false, 0, ""},
        {"12\tName", false, 0, ""},
        {"-5 x", true, -5, "x"},  // a number out of every range, never another entry's
        {"-4294967303 x", true, -2147483647 - 1, "x"},
        {"- x", false, 0, ""},
        {"+5 x", false, 0, ""},
        {"--5 x", false, 0, ""},
        {"x Name", false, 0, ""},
        {"3a b", false, 0, ""},
        {"", false, 0, ""},
        {" ", false, 0, ""},
        {"abc", false, 0, ""},
    };
    for (const auto& c : cases) {
        int number = -99;
        EXPECT_EQ(CReplyParser::EntryNumber(c.entry, number), c.has) << c.entry;
        const auto parts = CReplyParser::SplitEntry(c.entry);
        ASSERT_EQ(parts.has_value(), c.has) << c.entry;
        if (c.has) {
            EXPECT_EQ(number, c.number) << c.entry;
            EXPECT_EQ(parts->number, c.number) << c.entry;
            EXPECT_EQ(parts->name, c.name) << c.entry;
        } else {
            EXPECT_EQ(number, -99) << c.entry;
        }
    }
}

}  // namespace
