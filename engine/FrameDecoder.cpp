#include "engine/FrameDecoder.h"

#include <cstdio>

#include "engine/KeyPatterns.h"
#include "engine/Protocol.h"
#include "engine/UnitText.h"

namespace {

constexpr const char* kUnknown = "UNKNOWN";
constexpr std::uint8_t kErrorMark = 0x0D;
// An error text longer than this is cut, with "...", to keep a row short.
constexpr std::size_t kMaxErrorText = 120;

bool HasHeader(const std::uint8_t* b, std::size_t n) {
    return n >= 4 && b[0] == 0xF0 && b[1] == 0x1C && b[2] == 0x70;
}

// A frame to the unit: header, the fixed fourth byte, a type and the closing F7.
bool IsCommandFrame(const std::uint8_t* b, std::size_t n) {
    return n >= protocol::kFrameOverhead && HasHeader(b, n) && b[3] == 0x00 && b[n - 1] == 0xF7;
}

// "%X %d" exactly, as the engine writes it: upper-case hexadecimal without leading zeros, one
// blank, decimal flags.
std::string DescribeQuery(const std::uint8_t* p, std::size_t n) {
    const std::string text(reinterpret_cast<const char*>(p), n);
    const auto blank = text.find(' ');
    if (blank == std::string::npos || blank == 0 || blank > 8) return kUnknown;
    const std::string key = text.substr(0, blank);
    for (char c : key) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return kUnknown;
    }
    if (key.size() > 1 && key[0] == '0') return kUnknown;
    std::string flags = text.substr(blank + 1);
    const std::size_t digitsFrom = !flags.empty() && flags[0] == '-' ? 1 : 0;
    if (flags.size() <= digitsFrom || flags.size() > 11) return kUnknown;
    for (std::size_t i = digitsFrom; i < flags.size(); ++i) {
        if (flags[i] < '0' || flags[i] > '9') return kUnknown;
    }
    return "QUERY " + key + " flags " + flags;
}

std::string DescribeKey(const std::uint8_t* p, std::size_t n) {
    if (n != static_cast<std::size_t>(protocol::kKeyPatternSize)) return kUnknown;
    std::string keys;
    for (std::size_t column = 0; column < n; ++column) {
        if ((p[column] & 0xF0) != 0) return kUnknown;
        for (int row = 0; row < 4; ++row) {
            if ((p[column] & (1 << row)) != 0) continue;  // active low
            if (!keys.empty()) keys += '+';
            keys += 'C' + std::to_string(column) + 'R' + std::to_string(row);
        }
    }
    if (keys.empty()) return kUnknown;
    for (int digit = 0; digit <= 9; ++digit) {
        const KeyBytes& pattern = kKeyPatterns[DigitKey(digit)];
        bool same = true;
        for (std::size_t i = 0; i < n; ++i) same = same && pattern[i] == p[i];
        if (same) return "KEY " + keys + " (" + std::to_string(digit) + ")";
    }
    return "KEY " + keys;
}

std::string DescribeBankSelect(const std::uint8_t* p, std::size_t n) {
    if (n != 6 || p[0] != 0 || p[1] != 0 || p[4] != 0 || p[3] > 0x0F) return kUnknown;
    const char* dsp = p[5] == protocol::kProcessorA   ? "A"
                      : p[5] == protocol::kProcessorB ? "B"
                                                      : nullptr;
    if (dsp == nullptr) return kUnknown;
    return "BANK SELECT bank " + std::to_string(p[2] * 16 + p[3]) + " DSP " + dsp;
}

std::string DescribeLoad(const std::uint8_t* p, std::size_t n) {
    const std::string name =
        UnitBytesToUtf8(protocol::PatchName(std::string(reinterpret_cast<const char*>(p), n)));
    return "LOAD " + (name.empty() ? std::string() : name + " ") + std::to_string(n) + " bytes";
}

std::string DescribeToUnit(const std::uint8_t* b, std::size_t n) {
    if (n == 2 && (b[0] & 0xF0) == 0xC0 && b[1] < 0x80)
        return "PROGRAM CHANGE " + std::to_string(b[1]) + " channel " +
               std::to_string((b[0] & 0x0F) + 1);
    if (!IsCommandFrame(b, n)) return kUnknown;
    const std::uint8_t type = b[4];
    const std::uint8_t* payload = b + 5;
    const std::size_t length = n - protocol::kFrameOverhead;
    switch (type) {
        case protocol::MSG_OBJECT_QUERY:
            return DescribeQuery(payload, length);
        case protocol::MSG_KEY:
            return DescribeKey(payload, length);
        case protocol::MSG_BANK_SELECT:
            return DescribeBankSelect(payload, length);
        case protocol::MSG_PROGRAM_LOAD:
            return DescribeLoad(payload, length);
        case protocol::MSG_PROGRAM_REQUEST:
            return length == 0 ? "PROGRAM REQUEST" : kUnknown;
        default:
            return kUnknown;
    }
}

// The refusal's text as one printable line: line ends and other control bytes become blanks,
// bytes beyond ASCII "?", trailing blanks go.
std::string PrintableLine(const std::uint8_t* p, std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n && text.size() < kMaxErrorText; ++i) {
        const std::uint8_t c = p[i];
        text += c < 0x20 ? ' ' : c >= 0x7F ? '?' : static_cast<char>(c);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    while (!text.empty() && text.front() == ' ') text.erase(text.begin());
    if (n > kMaxErrorText) text += "...";
    return text;
}

std::string DescribeFromUnit(const std::uint8_t* b, std::size_t n) {
    if (n < 5 || !HasHeader(b, n) || b[n - 1] != 0xF7) return kUnknown;
    if (b[3] == kErrorMark) return "ERROR REPLY \"" + PrintableLine(b + 4, n - 5) + "\"";
    return "REPLY " + std::to_string(n) + " bytes";
}

}  // namespace

std::string DescribeFrame(LinkDirection direction, const std::uint8_t* bytes, std::size_t count) {
    try {
        if (bytes == nullptr || count == 0) return kUnknown;
        return direction == LinkDirection::ToUnit ? DescribeToUnit(bytes, count)
                                                  : DescribeFromUnit(bytes, count);
    } catch (...) {
        // Only running out of memory can get here; the row still needs a text.
        return kUnknown;
    }
}

std::string DescribeFrame(LinkDirection direction, const std::string& bytes) {
    return DescribeFrame(direction, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                         bytes.size());
}
