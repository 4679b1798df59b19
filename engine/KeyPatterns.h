#pragma once
// The front-panel keys the engine presses, as the eight-byte patterns of the unit's key matrix:
// one byte per column 0 to 7, the low four bits the rows 0 to 3, active low (0x0F: no key of that
// column down). A key message is a single press; there is no release. Constant data, usable from
// any thread.

#include <array>
#include <cstdint>

// The keys, in the order of the pattern table.
enum KeyPattern : int {
    KEY_C3R2,
    KEY_C7R2,
    KEY_C1R3,
    KEY_C3R3,
    KEY_C6R0,
    KEY_C3R0,
    KEY_C1R0,
    KEY_C1R0_C5R1,
    KEY_C3R0_C5R1,
    KEY_C5R0,
    KEY_C6R1,
    KEY_C6R3,  // step up in name entry
    KEY_C6R2,  // step down in name entry
    KEY_DIGIT_1,
    KEY_DIGIT_2,
    KEY_DIGIT_3,
    KEY_DIGIT_4,
    KEY_DIGIT_5,
    KEY_DIGIT_6,
    KEY_DIGIT_7,
    KEY_DIGIT_8,
    KEY_DIGIT_9,
    KEY_DIGIT_0,
    kKeyPatternCount
};

using KeyBytes = std::array<std::uint8_t, 8>;

// The pattern table, indexed by KeyPattern.
extern const std::array<KeyBytes, kKeyPatternCount> kKeyPatterns;

// The digit key for 0 to 9 (the keypad in columns 0, 2 and 4).
KeyPattern DigitKey(int digit);
