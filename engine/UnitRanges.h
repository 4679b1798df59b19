#pragma once
// The numbers the unit can be addressed by, written once: its banks (a bank select and the front
// panel's two digit keys reach 0 to 99), its programs (a MIDI program change carries 0 to 127)
// and the MIDI channels of program changes (0 to 15; shown to the user as 1 to 16). The unit may
// list numbers beyond them; those cannot be chosen.
//
// Constants and pure functions; any thread.

namespace unit_ranges {

inline constexpr int kFirstBank = 0;
inline constexpr int kLastBank = 99;
inline constexpr int kFirstProgram = 0;
inline constexpr int kLastProgram = 127;
inline constexpr int kProgramCount = kLastProgram - kFirstProgram + 1;  // programs in a bank
inline constexpr int kFirstChannel = 0;
inline constexpr int kLastChannel = 15;
inline constexpr int kChannelCount = kLastChannel - kFirstChannel + 1;

constexpr bool IsBank(int number) {
    return number >= kFirstBank && number <= kLastBank;
}
constexpr bool IsProgram(int number) {
    return number >= kFirstProgram && number <= kLastProgram;
}
constexpr bool IsChannel(int channel) {
    return channel >= kFirstChannel && channel <= kLastChannel;
}

}  // namespace unit_ranges
