#include "engine/TokenCursor.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

std::optional<std::string_view> CTokenCursor::Next(std::string_view delimiters) {
    if (delimiters.empty()) {
        if (m_pos >= m_text.size()) return std::nullopt;
        const auto rest = m_text.substr(m_pos);
        m_pos = m_text.size();
        return rest;
    }
    const auto start = m_text.find_first_not_of(delimiters, m_pos);
    if (start == std::string_view::npos) {
        m_pos = m_text.size();
        return std::nullopt;
    }
    const auto end = m_text.find_first_of(delimiters, start);
    if (end == std::string_view::npos) {
        m_pos = m_text.size();
        return m_text.substr(start);
    }
    m_pos = end + 1;
    return m_text.substr(start, end - start);
}

namespace tokens {

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// strtol needs a terminated text; tokens are short, so a copy is cheap, and an embedded zero
// byte ends the conversion as any other non-digit would. The result is clamped to 32 bits as the
// conversion clamps on a C library whose long has 32 bits, so that an overlong number never
// wraps round to a small one (100000012 must not read as 0x12).
long Convert(std::string_view text, int base) {
    const std::string copy(text);
    const long value = std::strtol(copy.c_str(), nullptr, base);
    return std::clamp<long>(value, std::numeric_limits<std::int32_t>::min(),
                            std::numeric_limits<std::int32_t>::max());
}

}  // namespace

long HexValue(std::string_view token) {
    return Convert(token, 16);
}

int DecimalValue(std::string_view text) {
    // atoi is (int)strtol(text, NULL, 10) in the C library; Convert has clamped it to 32 bits.
    return static_cast<int>(Convert(text, 10));
}

std::string_view TrimLeft(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    return text.substr(i);
}

std::string_view Trim(std::string_view text) {
    text = TrimLeft(text);
    std::size_t n = text.size();
    while (n > 0 && IsSpace(text[n - 1])) --n;
    return text.substr(0, n);
}

}  // namespace tokens
