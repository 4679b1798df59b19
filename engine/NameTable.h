#pragma once
// The unit's name entry: names are typed by stepping through an ordered set of 98 characters with
// the step-up and step-down keys. Constant data, usable from any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace nametable {

// The characters by position; "%" stands at 26, 27 and 97, "-" at 15 and 96, ";" at 0 and 7.
inline constexpr std::string_view kCharacters =
    ";:/?><,;`~|\\_=+-}{][')(*&^%%$#@!zyxwvutsrqponmlkjihgfedcba "
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-%";
static_assert(kCharacters.size() == 98);

inline constexpr int kBlankPosition = 58;

// The position of the first occurrence of `c`, or -1 when the table does not hold it.
int Position(char c);

// The longest bank name, in characters, that the program types: every character costs up to
// about 15 s of key presses on the unit. The desktop program's name editor, the command line and
// the engine all hold names to it.
inline constexpr std::size_t kMaxNameLength = 79;

// The characters of a UTF-8 name as the unit counts them: a multi-byte character is one.
std::size_t CharacterCount(std::string_view name);

// The name as the unit holds it once typed: every character the table does not hold (a
// multi-byte character counting as one) becomes a blank.
std::string TypedName(std::string_view name);

// True when `name` has no character but blanks (the empty name included): the bank would be
// listed without a name. A bank name needs one other character; the command line, the desktop's
// name editors and the engine refuse such a name.
bool IsBlankName(std::string_view name);

// True for the continuation bytes of a multi-byte UTF-8 character.
inline bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace nametable
