#pragma once
// The bytes of the unit's protocol: the system-exclusive frame that wraps every message except
// the program change, the message types, and the builders of the fixed payloads. Pure functions,
// callable from any thread.
//
// A frame is F0 1C 70 00, the type byte, the payload bytes as they are (no escaping, no checksum,
// no terminating zero) and F7: payload length + 6 bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

inline constexpr std::uint8_t MSG_KEY = 0x01;
inline constexpr std::uint8_t MSG_BANK_SELECT = 0x03;
inline constexpr std::uint8_t MSG_PROGRAM_LOAD = 0x0A;
inline constexpr std::uint8_t MSG_PROGRAM_REQUEST = 0x0B;
inline constexpr std::uint8_t MSG_OBJECT_QUERY = 0x31;

inline constexpr int kFrameOverhead = 6;        // header (4), type (1), end byte (1)
inline constexpr int kDefaultBufferSize = 512;  // Open size of every operation but the load
// The longest frame the unit takes, end byte included; its receiver drops a longer one.
inline constexpr int kMaxFrameBytes = 1 << 20;
inline constexpr int kKeyPatternSize = 8;  // the payload of a key message

inline constexpr int kQueryTimeoutMs = 10000;
inline constexpr int kProgramRequestTimeoutMs = 30000;

// The processors that receive a bank select.
inline constexpr int kProcessorA = 1;
inline constexpr int kProcessorB = 2;

// The whole frame for `type` and `length` payload bytes.
std::vector<std::uint8_t> BuildFrame(std::uint8_t type, const std::uint8_t* payload, int length);

// The object query text "%X %d": the key in upper-case hexadecimal without prefix or leading
// zeros (a negative key as its 32-bit two's complement), a blank, the flags in decimal.
std::string ObjectQueryText(std::int32_t key, int flags);

// The six payload bytes of a bank select: 00 00, bank >> 4, bank & 0x0F, 00, processor.
std::vector<std::uint8_t> BankSelectPayload(int bank, int processor);

// The two bytes of a MIDI program change: 0xC0 | channel, program.
std::vector<std::uint8_t> ProgramChange(int channel, int program);

// The reply text of an object query reply: the reply without its first four bytes when it begins
// with F0 1C 70 (the fourth byte is not examined); otherwise the empty text.
std::string ReplyText(const std::string& reply);

// The name of a program in its text (a ".sig" file's content, or what the unit sends for a program
// request): the text between the first and the second double quote; empty without two.
std::string PatchName(const std::string& content);

// --- What a program text may hold -----------------------------------------------------------
// A program text travels as the payload of a load frame as it is, so a byte that ends or breaks
// a frame on the link would end the load early and be taken by the unit as the start of new
// messages. Which bytes those are depends on the link:
//   Serial  every byte 0xF0 to 0xFF (0x80 to 0xEF are the unit's 8-bit characters, which it sends
//           back in fetched texts over serial: they travel);
//   MIDI    every byte from 0x80 (a system-exclusive message carries 7-bit data only).
// One 0xF7 as the very last byte is the frame end that the MIDI link keeps in the texts it
// fetches: it is not part of the program, is never sent as payload (ProgramPayload), and is not
// counted as unsendable.
enum class Transport { Serial, MIDI };

// `text` without that one trailing 0xF7.
std::string_view ProgramPayload(std::string_view text);

// The offset of the first byte of `text` that cannot travel in a load frame over `transport`;
// npos when every byte can.
std::size_t FirstUnsendableByte(std::string_view text, Transport transport);

// Why `text` cannot be sent over `transport`, naming the first such byte and its offset
// (0-based, decimal): "the byte 0xF7 at offset 12 would end the transfer early; the file is
// damaged or is not a program of the unit", "the byte 0xF0 at offset 3 would break the
// transfer; ..." (serial), "the byte 0xE9 at offset 9 cannot travel over MIDI, which carries
// only bytes below 0x80"; empty when it can be sent.
std::string UnsendableReason(std::string_view text, Transport transport);

}  // namespace protocol
