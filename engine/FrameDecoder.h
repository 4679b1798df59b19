#pragma once
// One short description of a frame that crossed the link, for the communication log and the
// command line's trace. The forms:
//
//   to the unit                         from the unit
//   QUERY 1AB flags 2                   REPLY 812 bytes        (the whole frame, F0 to F7)
//   KEY C3R3                            ERROR REPLY "text"     (fourth byte 0x0D: a refusal)
//   BANK SELECT bank 3 DSP A
//   PROGRAM CHANGE 12 channel 1         (the program number as sent, the channel 1 to 16)
//   LOAD name 204 bytes                 (the patch name, then the program text's length)
//   PROGRAM REQUEST
//
// A key press names the key's column and row in the unit's key matrix (two keys at once:
// "KEY C1R0+C5R1"); a digit key of the keypad adds its digit ("KEY C0R3 (1)"). Anything that
// is not one of these frames exactly, in either direction, is "UNKNOWN".
//
// Pure function, callable from any thread; it never throws, whatever the bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/LinkTap.h"

std::string DescribeFrame(LinkDirection direction, const std::uint8_t* bytes, std::size_t count);
std::string DescribeFrame(LinkDirection direction, const std::string& bytes);
