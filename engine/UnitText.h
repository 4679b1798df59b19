#pragma once
// The unit's bytes as text. The unit's names, bank and program lists and information texts are
// 8-bit: its name entry (NameTable.h) types only ASCII, but a name can hold any byte that a
// loaded ".sig" file put between its double quotes, and such files are written by programs that
// use Latin-1 as well as by programs that use UTF-8. Everything the engine hands on (its results,
// its messages, the host's texts) is UTF-8, made from the unit's bytes here and nowhere else.
//
// The rule, for one text at a time (a list entry, a name, an information text):
// - a text that is valid UTF-8 as a whole (ASCII included) is taken as it is: "Café" written as
//   UTF-8 by another program reads "Café";
// - any other text is the unit's 8-bit characters, each byte 0x80 to 0xFF read as the Latin-1
//   character of that number: the byte 0xE9 is "é".
// So no byte is lost or shown as a replacement character, and the result is always valid UTF-8
// (converting it again changes nothing). A text that mixes both (rare: a stray 8-bit byte in a
// UTF-8 name) reads as 8-bit characters throughout, each byte one character as on the unit's
// display. The rule is the one whole-unit backups have always used for the names in their
// manifests, so that a restore matches old manifests as before.
//
// The other way there is nothing to convert: the only text the engine sends is a bank name typed
// with the unit's keys, which types the characters of its table and a blank for anything else
// (nametable::TypedName). Program texts (".sig" bytes) are never converted: they are sent,
// fetched, compared and written byte for byte.
//
// Pure functions; any thread.

#include <string>
#include <string_view>

// True when `text` is well-formed UTF-8 (no stray continuation byte, no cut-off or over-long
// sequence, no UTF-16 surrogate, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The unit's bytes as UTF-8 text, by the rule above.
std::string UnitBytesToUtf8(std::string_view bytes);
