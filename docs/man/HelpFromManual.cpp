// quorlin-helpgen: writes a program's --help text, taken from its manual page source (scdoc), as
// a C++ header, so that the manual and --help come from one text.
//
//   quorlin-helpgen SOURCE.scd OUTPUT.h IDENTIFIER
//
// The help is made of these parts of the source, in their order there:
//   - SYNOPSIS: each paragraph is a usage line, the first after "Usage: ";
//   - DESCRIPTION: its first paragraph only;
//   - COMMANDS, EXIT STATUS and every section whose heading ends in OPTIONS: a heading
//     ("Connection options:") and the section's items. An item is a term line followed by
//     tab-indented lines; the term goes at column 2 and the indented lines at column 24 (beside a
//     short term, below a long one), so the source's indented lines must be short enough to end
//     before column 80. Plain paragraphs are indented by two.
// The other sections (FILES, SEE ALSO, ...) are in the manual only. Lines starting with ";" are
// scdoc comments. scdoc's bold (*word*) and underline (_word_) marks are removed, "\*" and "\_"
// become "*" and "_", and "++" at a line's end (a forced line break) is dropped.

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kDescriptionColumn = 24;

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The line as a reader of plain text sees it.
std::string Plain(const std::string& line) {
    std::string text = line;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "++") == 0) {
        text.resize(text.size() - 2);
        while (!text.empty() && text.back() == ' ') text.pop_back();
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (c == '*') {
            continue;
        } else if (c == '_') {
            // An underscore inside a word is a letter, as in scdoc.
            const bool inside = i > 0 && i + 1 < text.size() && IsAlnum(text[i - 1]) &&
                                IsAlnum(text[i + 1]);
            if (inside) out += c;
        } else {
            out += c;
        }
    }
    return out;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "CONNECTION OPTIONS" -> "Connection options:"
std::string Heading(const std::string& name) {
    std::string h;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        h += (i == 0 || c < 'A' || c > 'Z') ? c : static_cast<char>(c - 'A' + 'a');
    }
    return h + ":";
}

struct Section {
    std::string name;
    std::vector<std::string> lines;
};

std::vector<Section> ReadSections(std::istream& in) {
    std::vector<Section> sections;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (first) {  // "name(1) ..."
            first = false;
            continue;
        }
        if (!line.empty() && line[0] == ';') continue;
        if (line.rfind("# ", 0) == 0) {
            sections.push_back({line.substr(2), {}});
        } else if (!sections.empty()) {
            sections.back().lines.push_back(line);
        }
    }
    return sections;
}

std::vector<std::vector<std::string>> Paragraphs(const std::vector<std::string>& lines) {
    std::vector<std::vector<std::string>> paragraphs(1);
    for (const auto& l : lines) {
        if (l.find_first_not_of(" \t") == std::string::npos) {
            if (!paragraphs.back().empty()) paragraphs.emplace_back();
        } else {
            paragraphs.back().push_back(l);
        }
    }
    if (paragraphs.back().empty()) paragraphs.pop_back();
    return paragraphs;
}

// The items of a section, and its plain paragraphs set off by blank lines.
void WriteItems(const std::vector<std::string>& lines, std::ostream& out) {
    const std::string column(kDescriptionColumn, ' ');
    bool blankBefore = false;
    bool any = false;
    for (const auto& p : Paragraphs(lines)) {
        bool plain = true;
        for (const auto& l : p) plain = plain && l[0] != '\t';
        if (plain) {
            if (any) out << "\n";
            for (const auto& l : p) out << "  " << Plain(l) << "\n";
            blankBefore = true;
            any = true;
            continue;
        }
        if (blankBefore) out << "\n";
        blankBefore = false;
        any = true;
        for (std::size_t i = 0; i < p.size(); ++i) {
            const std::string& l = p[i];
            if (l[0] == '\t') {
                out << column << Plain(l.substr(l.find_first_not_of('\t'))) << "\n";
                continue;
            }
            const std::string term = "  " + Plain(l);
            const bool described = i + 1 < p.size() && p[i + 1][0] == '\t';
            if (described && term.size() + 2 <= kDescriptionColumn) {
                out << term << std::string(kDescriptionColumn - term.size(), ' ')
                    << Plain(p[i + 1].substr(p[i + 1].find_first_not_of('\t'))) << "\n";
                ++i;
            } else {
                out << term << "\n";
            }
        }
    }
}

std::string Help(const std::vector<Section>& sections) {
    std::ostringstream out;
    for (const auto& s : sections) {
        if (s.name == "SYNOPSIS") {
            bool firstUsage = true;
            for (const auto& p : Paragraphs(s.lines)) {
                for (std::size_t i = 0; i < p.size(); ++i) {
                    out << (firstUsage ? "Usage: " : "       ") << (i == 0 ? "" : "  ")
                        << Plain(p[i]) << "\n";
                    firstUsage = false;
                }
            }
        } else if (s.name == "DESCRIPTION") {
            const auto paragraphs = Paragraphs(s.lines);
            if (paragraphs.empty()) continue;
            out << "\n";
            for (const auto& l : paragraphs.front()) out << Plain(l) << "\n";
        } else if (s.name == "COMMANDS" || s.name == "EXIT STATUS" || EndsWith(s.name, "OPTIONS")) {
            out << "\n" << Heading(s.name) << "\n";
            WriteItems(s.lines, out);
        }
    }
    return out.str();
}

std::string CLiteral(const std::string& text) {
    std::string out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        out += "    \"";
        for (char c : line) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        out += "\\n\"\n";
    }
    return out;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: quorlin-helpgen SOURCE.scd OUTPUT.h IDENTIFIER\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "quorlin-helpgen: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::string help = Help(ReadSections(in));
    if (help.empty()) {
        std::cerr << "quorlin-helpgen: " << argv[1] << " has no SYNOPSIS or OPTIONS\n";
        return 1;
    }
    std::ofstream out(argv[2], std::ios::trunc);
    out << "#pragma once\n"
        << "// Generated by quorlin-helpgen from docs/man/" << BaseName(argv[1])
        << ": edit that file instead.\n\n"
        << "inline constexpr const char " << argv[3] << "[] =\n"
        << CLiteral(help) << "    ;\n";
    out.close();
    if (!out) {
        std::cerr << "quorlin-helpgen: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
