#include "engine/ReplyParser.h"

#include <optional>

#include "engine/TokenCursor.h"

namespace {

constexpr std::string_view kBlank = " ";
constexpr std::string_view kSingleQuote = "'";
constexpr std::string_view kNewline = "\n";
constexpr std::string_view kQuotes = "'\"";

// The third token of a "COL" line: the first blank token, trimmed, must be "COL"; the second is
// skipped. Nothing when the line is not of that shape.
std::optional<long> ColValue(std::string_view line) {
    CTokenCursor cursor(line);
    const auto first = cursor.Next(kBlank);
    if (!first || tokens::Trim(*first) != "COL") return std::nullopt;
    if (!cursor.Next(kBlank)) return std::nullopt;
    const auto value = cursor.Next(kBlank);
    if (!value) return std::nullopt;
    return tokens::HexValue(*value);
}

}  // namespace

std::int32_t CReplyParser::FindChildKey(std::string_view listing, std::string_view name) {
    CTokenCursor lines(listing);
    while (const auto line = lines.Next(kNewline)) {
        CTokenCursor cursor(*line);
        if (!cursor.Next(kBlank) || !cursor.Next(kBlank)) continue;
        const auto key = cursor.Next(kBlank);
        if (!key || !cursor.Next(kBlank)) continue;
        const auto lineName = cursor.Next(kSingleQuote);
        if (lineName && lineName->find(name) != std::string_view::npos)
            return static_cast<std::int32_t>(tokens::HexValue(*key));
    }
    return -1;
}

bool CReplyParser::ParseListReply(std::string_view text, std::vector<std::string>& list) {
    CTokenCursor head(text);
    for (int i = 0; i < 4; ++i)
        if (!head.Next(kBlank)) return false;
    for (int i = 0; i < 2; ++i)
        if (!head.Next(kSingleQuote)) return false;
    const auto r1 = head.Next({});
    if (!r1) return false;

    CTokenCursor second(*r1);
    if (r1->size() > 1 && (*r1)[1] == '\'') {
        if (!second.Next(kSingleQuote) || !second.Next(kSingleQuote)) return false;
    } else if (!second.Next(kBlank)) {
        return false;
    }
    const auto r2 = second.Next({});
    if (!r2) return false;

    const auto q = r2->find_first_of(kQuotes);
    if (q == std::string_view::npos) return false;
    const std::string_view p = r2->substr(q);

    std::optional<std::string_view> r3;
    if (p.starts_with("''")) {
        CTokenCursor third(p.substr(2));
        if (!third.Next(kBlank)) return false;
        r3 = third.Next({});
    } else {
        CTokenCursor third(p);
        if (!third.Next(p.substr(0, 1)) || !third.Next(kBlank)) return false;
        r3 = third.Next({});
    }
    // A list header with nothing after it is a list without items (what a unit sends for an
    // empty bank), not a reply of another shape.
    if (!r3) return true;

    const std::string_view items = *r3;
    std::size_t cursor = 0;
    while (cursor < items.size() && items[cursor] != '\n') {
        const auto open = items.find_first_of(kQuotes, cursor);
        if (open == std::string_view::npos) break;
        const auto close = items.find(items[open], open + 1);
        const auto end = close == std::string_view::npos ? items.size() : close;
        list.emplace_back(tokens::TrimLeft(items.substr(open + 1, end - open - 1)));
        cursor = close == std::string_view::npos ? items.size() : close + 1;
    }
    return true;
}

std::int32_t CReplyParser::FindColumnKey(std::string_view rootListing, int selector) {
    const long bit = selector == 1 ? (1L << 26) : selector == 2 ? (1L << 27) : 0;
    if (bit == 0) return -1;
    CTokenCursor lines(rootListing);
    while (const auto line = lines.Next(kNewline)) {
        const auto value = ColValue(*line);
        // A column key is a nonzero 28-bit value; anything else (including what strtol clamps
        // or signs) is not one.
        if (!value || *value <= 0 || *value >= (1L << 28)) continue;
        if ((*value & bit) != 0) return static_cast<std::int32_t>(*value);
    }
    return -1;
}

std::int32_t CReplyParser::FindInfoKey(std::string_view columnListing) {
    CTokenCursor lines(columnListing);
    while (const auto line = lines.Next(kNewline)) {
        if (line->find("info info") == std::string_view::npos) continue;
        const auto value = ColValue(*line);
        return value ? static_cast<std::int32_t>(*value) : -1;
    }
    return -1;
}

bool CReplyParser::ParseInfoText(std::string_view reply, std::string& text) {
    CTokenCursor lines(reply);
    if (!lines.Next(kNewline)) return false;
    while (const auto rawLine = lines.Next(kNewline)) {
        std::string line;
        line.reserve(rawLine->size());
        for (std::size_t i = 0; i < rawLine->size(); ++i) {
            line.push_back((*rawLine)[i]);
            if ((*rawLine)[i] == '%' && i + 1 < rawLine->size() && (*rawLine)[i + 1] == '%') ++i;
        }
        const std::string_view quote =
            line.find('"') != std::string::npos ? std::string_view("\"") : kSingleQuote;
        CTokenCursor cursor(line);
        if (!cursor.Next(quote)) continue;
        const auto second = cursor.Next(quote);
        if (second) text.append(*second);
        text.push_back(' ');
    }
    return true;
}

std::optional<CReplyParser::EntryParts> CReplyParser::SplitEntry(std::string_view entry) {
    const std::string_view text = tokens::TrimLeft(entry);
    const std::size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    std::size_t end = sign;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == sign || end >= text.size() || text[end] != ' ') return std::nullopt;
    return EntryParts{tokens::DecimalValue(text.substr(0, end)), text.substr(end + 1)};
}

bool CReplyParser::EntryNumber(std::string_view entry, int& number) {
    const auto parts = SplitEntry(entry);
    if (!parts) return false;
    number = parts->number;
    return true;
}
