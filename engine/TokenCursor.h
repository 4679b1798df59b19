#pragma once
// Tokenizing in the manner of the C library's strtok, without its hidden state and without
// writing into the text: one cursor over a text that the caller keeps alive.
//
// Next(delimiters) skips delimiter characters at the cursor, returns the characters up to the
// next delimiter or the end, and consumes that delimiter. With an empty delimiter set it returns
// everything that remains. When nothing remains it returns no token. Every byte value, including
// zero, is an ordinary character.

#include <optional>
#include <string_view>

class CTokenCursor {
public:
    explicit CTokenCursor(std::string_view text) : m_text(text) {}

    std::optional<std::string_view> Next(std::string_view delimiters);

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Number conversions of the reply parsers.
namespace tokens {

// Like strtol with base 16: leading white space, a sign and a "0x" prefix allowed; stops at the
// first character that is not a hexadecimal digit; 0 when there is none. Out of the 32-bit range:
// the nearest of -2^31 / 2^31 - 1, as strtol does where long has 32 bits (never wrapped).
long HexValue(std::string_view token);

// Like atoi: the decimal value at the start of `text` (leading white space and a sign allowed),
// clamped to -2^31 / 2^31 - 1 as strtol on a 32-bit long does, without atoi's undefined overflow.
int DecimalValue(std::string_view text);

// `text` without white space at either end / at its start (isspace in the C locale).
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);

}  // namespace tokens
