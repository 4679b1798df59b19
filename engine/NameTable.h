#pragma once
// The unit's name entry: names are typed by stepping through an ordered set of 98 characters with
// the step-up and step-down keys. Constant data, usable from any thread.

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

}  // namespace nametable
