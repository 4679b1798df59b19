#pragma once
// What the unit reads out of a program's text, and how its built-in programs are written.
//
// A program is stored and delivered as its text, byte for byte. The unit reads two things out of
// it: the name, which stands between the first and the second double quote, and the information
// text, one line for every line of the program that begins with "info ". Everything else in the
// text is the processors' business and is kept unread.
//
// Free functions without state; callable from any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The text between the first two double quotes; nothing when the text holds fewer than two.
std::optional<std::string> ProgramName(std::string_view text);

// The information lines, in order, without their leading "info " (and without a trailing "\r").
std::vector<std::string> InfoLines(std::string_view text);

// The text of a built-in program: its name, algorithm, mix and information lines.
std::string MakeProgramText(const std::string& name, const std::string& algorithm, int mixPercent,
                            const std::vector<std::string>& info);

}  // namespace sim
