#pragma once
// A reader of the unit's listings that follows the librarian's reading rules
// (strtok-style tokens, strtol/atoi numbers), written here on its own so the model is checked
// against the rules rather than against the librarian's code.

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace listing {

// strtok on a private copy: skip delimiters, take up to the next one, consume it.
class Tokens {
public:
    explicit Tokens(std::string text) : m_text(std::move(text)) {}
    std::optional<std::string> Next(const std::string& delimiters) {
        if (delimiters.empty()) {
            if (m_pos >= m_text.size()) return std::nullopt;
            std::string rest = m_text.substr(m_pos);
            m_pos = m_text.size();
            return rest;
        }
        while (m_pos < m_text.size() && delimiters.find(m_text[m_pos]) != std::string::npos)
            ++m_pos;
        if (m_pos >= m_text.size()) return std::nullopt;
        std::size_t end = m_pos;
        while (end < m_text.size() && delimiters.find(m_text[end]) == std::string::npos) ++end;
        std::string token = m_text.substr(m_pos, end - m_pos);
        m_pos = end < m_text.size() ? end + 1 : end;
        return token;
    }

private:
    std::string m_text;
    std::size_t m_pos = 0;
};

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    Tokens t(text);
    while (auto line = t.Next("\n")) lines.push_back(*line);
    return lines;
}

inline long Hex(const std::string& token) {
    return std::strtol(token.c_str(), nullptr, 16);
}

inline std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// The key of the first line whose quoted name contains `name`; -1 when none.
inline long FindChildKey(const std::string& listing, const std::string& name) {
    for (const auto& line : Lines(listing)) {
        Tokens t(line);
        if (!t.Next(" ") || !t.Next(" ")) continue;
        const auto key = t.Next(" ");
        if (!key || !t.Next(" ")) continue;
        const auto found = t.Next("'");
        if (found && found->find(name) != std::string::npos) return Hex(*key);
    }
    return -1;
}

// The items of a list object's reply, in order; nothing for a reply of another shape.
inline std::vector<std::string> ParseListReply(const std::string& text) {
    std::vector<std::string> items;
    Tokens t1(text);
    for (int i = 0; i < 4; ++i)
        if (!t1.Next(" ")) return items;
    if (!t1.Next("'") || !t1.Next("'")) return items;
    const auto r1 = t1.Next("");
    if (!r1) return items;
    Tokens t2(*r1);
    if (r1->size() > 1 && (*r1)[1] == '\'') {
        if (!t2.Next("'") || !t2.Next("'")) return items;
    } else if (!t2.Next(" ")) {
        return items;
    }
    const auto r2 = t2.Next("");
    if (!r2) return items;
    const auto q = r2->find_first_of("'\"");
    if (q == std::string::npos) return items;
    const std::string p = r2->substr(q);
    std::optional<std::string> r3;
    if (p.compare(0, 2, "''") == 0) {
        Tokens t3(p.substr(2));
        if (!t3.Next(" ")) return items;
        r3 = t3.Next("");
    } else {
        Tokens t3(p);
        if (!t3.Next(std::string(1, p[0])) || !t3.Next(" ")) return items;
        r3 = t3.Next("");
    }
    if (!r3) return items;
    std::size_t cursor = 0;
    while (cursor < r3->size() && (*r3)[cursor] != '\n') {
        const auto open = r3->find_first_of("'\"", cursor);
        if (open == std::string::npos) break;
        const auto close = r3->find((*r3)[open], open + 1);
        std::string item =
            r3->substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        cursor = close == std::string::npos ? r3->size() : close + 1;
        const auto start = item.find_first_not_of(" \t\r\n\v\f");
        items.push_back(start == std::string::npos ? std::string() : item.substr(start));
    }
    return items;
}

// The root's COL value for selector 1 (bit 26) or 2 (bit 27); -1 when none.
inline long ColumnKey(const std::string& root, int selector) {
    const unsigned long bit = selector == 1 ? (1ul << 26) : (1ul << 27);
    for (const auto& line : Lines(root)) {
        Tokens t(line);
        const auto first = t.Next(" ");
        if (!first || Trim(*first) != "COL" || !t.Next(" ")) continue;
        const auto value = t.Next(" ");
        if (!value) continue;
        const auto v = static_cast<unsigned long>(Hex(*value)) & 0xFFFFFFFFul;
        if (v != 0 && (v & 0xF0000000ul) == 0 && (v & bit) != 0) return static_cast<long>(v);
    }
    return -1;
}

// The info key named by the column's first "info info" line; -1 when there is none.
inline long InfoKey(const std::string& column) {
    for (const auto& line : Lines(column)) {
        if (line.find("info info") == std::string::npos) continue;
        Tokens t(line);
        const auto first = t.Next(" ");
        if (!first || Trim(*first) != "COL" || !t.Next(" ")) return -1;
        const auto key = t.Next(" ");
        return key ? Hex(*key) : -1;
    }
    return -1;
}

// The information text: every line after the first, "%%" read as "%", its second quoted token
// followed by a blank.
inline std::string InfoText(const std::string& reply) {
    std::string text;
    const auto lines = Lines(reply);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string line;
        for (std::size_t j = 0; j < lines[i].size(); ++j) {
            line += lines[i][j];
            if (lines[i][j] == '%' && j + 1 < lines[i].size() && lines[i][j + 1] == '%') ++j;
        }
        const std::string quote = line.find('"') != std::string::npos ? "\"" : "'";
        Tokens t(line);
        if (!t.Next(quote)) continue;
        text += t.Next(quote).value_or("") + " ";
    }
    return text;
}

}  // namespace listing
