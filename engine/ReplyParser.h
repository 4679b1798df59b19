#pragma once
// The readers of the unit's text replies (object listings). Pure functions over the reply text
// (the reply without its four header bytes); they never fail: a text of unexpected shape yields
// -1 or nothing. Callable from any thread.
//
// Reply text: lines separated by "\n"; tokens within a line separated by blanks; names and list
// items enclosed in single quotes, some texts in double quotes. Hexadecimal tokens are read like
// strtol with base 16.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CReplyParser {
public:
    // The key of the first line of `listing` whose name (the text after the line's fourth
    // blank-delimited token, up to the next single quote, leading quotes skipped) contains `name`
    // (case-sensitive). The key is the line's third token. -1 when no line matches.
    static std::int32_t FindChildKey(std::string_view listing, std::string_view name);

    // Appends the items of a list object's reply to `list`, in the reply's order, each without
    // leading white space. Returns false, appending nothing, when the reply is not of the list
    // shape (a part before the items is missing); true for a list, also one without items (the
    // header with nothing after it).
    static bool ParseListReply(std::string_view text, std::vector<std::string>& list);

    // The key of the processor column for `selector` (1: bit 26 set, 2: bit 27 set) from the
    // root listing's "COL" lines: the first line whose third token is nonzero, below 2^28 and has
    // the selector's bit set. -1 when none.
    static std::int32_t FindColumnKey(std::string_view rootListing, int selector);

    // The info key from a processor column's listing: decided by the first line containing
    // "info info", which must start with the token "COL"; its third token is the key. -1 when no
    // line contains "info info" or that line is not of that shape.
    static std::int32_t FindInfoKey(std::string_view columnListing);

    // The information text of a program from the info object's reply: every line after the first
    // contributes the second token after "%%" became "%" (tokens delimited by the double quote
    // when the line holds one, else by the single quote), followed by one blank. Returns false
    // when the reply has no first line (it is empty or holds only line breaks).
    static bool ParseInfoText(std::string_view reply, std::string& text);

    // A bank or program entry split into its number and name. The entry is "number blank name"
    // after leading white space (the unit pads its numbers): the number is a run of decimal
    // digits followed by a blank, its value clamped to -2^31 / 2^31 - 1 like every number the
    // parsers read (an overlong number is never read as another, smaller one); the name is
    // everything after that blank, unchanged. A minus sign before the digits is kept, so that a
    // negative number shows as out of range rather than as no number. An entry of any other shape
    // ("12", "x y", "3a b", "") has no number: it can be shown, but nothing can be done with it.
    struct EntryParts {
        int number = -1;
        std::string_view name;
    };
    static std::optional<EntryParts> SplitEntry(std::string_view entry);

    // The number of an entry as SplitEntry reads it; false (number untouched) when it has none.
    static bool EntryNumber(std::string_view entry, int& number);
};
