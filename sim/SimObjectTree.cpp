#include "sim/SimObjectTree.h"

#include <cstdio>
#include <vector>

#include "sim/ProgramText.h"
#include "sim/SimFrontPanel.h"
#include "sim/SimLibrary.h"

namespace {

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

// Line breaks would end the listing's line; the display shows them as blanks.
std::string Displayable(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

// Single quotes, or double quotes when the text holds a single quote. A text holding both shows
// its double quotes as single ones.
std::string Quote(const std::string& raw) {
    std::string text = Displayable(raw);
    if (text.find('\'') == std::string::npos) return "'" + text + "'";
    for (char& c : text)
        if (c == '"') c = '\'';
    return "\"" + text + "\"";
}

std::string ObjectLine(const char* type, std::uint32_t parent, std::uint32_t key, int flags,
                       const std::string& name) {
    return std::string(type) + " " + Hex(parent) + " " + Hex(key) + " " + std::to_string(flags) +
           " " + Quote(name) + "\n";
}

std::string ListLine(std::uint32_t parent, std::uint32_t key, const std::string& label,
                     const std::vector<std::string>& items, int current) {
    std::string line = "21 " + Hex(parent) + " " + Hex(key) + " 0 " + Quote(label) + " '' " +
                       std::to_string(items.size()) + " ";
    if (current >= 0)
        line += Quote(items[current]) + " " + std::to_string(current);
    else
        line += "'' 0";
    for (const auto& item : items) line += " " + Quote(item);
    return line + "\n";
}

std::string Numbered(const char* format, int number, const std::string& name) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, format, number);
    return prefix + name;
}

std::string NameOf(const std::string& text) {
    return sim::ProgramName(text).value_or("");
}

}  // namespace

CSimObjectTree::CSimObjectTree(const CSimLibrary& library,
                               const std::array<SimProcessor, 2>& processors,
                               const int& currentProcessor, const CSimFrontPanel& panel)
    : m_library(library),
      m_processors(processors),
      m_nCurrentProcessor(currentProcessor),
      m_panel(panel) {}

std::optional<std::string> CSimObjectTree::Listing(std::uint32_t key, int flags) const {
    switch (key) {
        case kRoot:
            return Root();
        case kProgramFunctions:
            return ObjectLine("10", kRoot, kProgramFunctions, 0, "program functions") +
                   ObjectLine("10", kProgramFunctions, kLoadNewPreset, 0, "load new preset") +
                   ObjectLine("10", kProgramFunctions, kDeletePreset, 0, "delete preset");
        case kLoadNewPreset: {
            std::string text =
                ObjectLine("10", kProgramFunctions, kLoadNewPreset, flags, "load new preset");
            if ((flags & kExpandFlag) != 0) text += BankList() + ProgramList();
            return text;
        }
        case kBankList:
            return BankList();
        case kProgramList:
            return ProgramList();
        case kDeletePreset:
            return ObjectLine("10", kProgramFunctions, kDeletePreset, 0, "delete preset") +
                   DeleteList();
        case kDeleteList:
            return DeleteList();
        case kColumnA:
            return Column(0);
        case kColumnB:
            return Column(1);
        case kInfoA:
            return Info(0);
        case kInfoB:
            return Info(1);
        case kLevels:
            return ObjectLine("COL", kRoot, kLevels, 0, "levels") +
                   ObjectLine("31", kLevels, kLevels + 1, 0, "input level");
        default:
            return std::nullopt;
    }
}

std::string CSimObjectTree::ProcessorTitle(int processor) const {
    const SimProcessor& p = m_processors[processor];
    return std::string(processor == 0 ? "DSP A: " : "DSP B: ") + (p.loaded ? NameOf(p.text) : "");
}

std::string CSimObjectTree::Root() const {
    return ObjectLine("10", kRoot, kRoot, 0, "main") +
           ObjectLine("10", kRoot, kProgramFunctions, 0, "program functions") +
           ObjectLine("COL", kRoot, 0, 0, "unused") +
           ObjectLine("COL", kRoot, kLevels, 0, "levels") +
           ObjectLine("COL", kRoot, kColumnA, 0, ProcessorTitle(0)) +
           ObjectLine("COL", kRoot, kColumnB, 0, ProcessorTitle(1));
}

std::string CSimObjectTree::Column(int processor) const {
    const std::uint32_t column = processor == 0 ? kColumnA : kColumnB;
    std::string text = ObjectLine("COL", kRoot, column, 0, ProcessorTitle(processor));
    if (Info(processor))
        text += ObjectLine("COL", column, processor == 0 ? kInfoA : kInfoB, 0, "info info");
    return text;
}

std::optional<std::string> CSimObjectTree::Info(int processor) const {
    const SimProcessor& p = m_processors[processor];
    if (!p.loaded) return std::nullopt;
    const auto lines = sim::InfoLines(p.text);
    if (lines.empty()) return std::nullopt;
    const std::uint32_t info = processor == 0 ? kInfoA : kInfoB;
    std::string text = ObjectLine("31", processor == 0 ? kColumnA : kColumnB, info, 0, "info");
    for (const auto& line : lines) {
        if (line.empty()) continue;
        std::string escaped;
        for (char c : line) escaped += c == '%' ? std::string("%%") : std::string(1, c);
        text += ObjectLine("31", info, 0, 0, escaped);
    }
    return text;
}

std::string CSimObjectTree::BankList() const {
    const int selected = m_processors[m_nCurrentProcessor].selectedBank;
    std::vector<std::string> items;
    int current = -1;
    for (const auto& [number, bank] : m_library.Banks()) {
        if (number == selected) current = static_cast<int>(items.size());
        items.push_back(Numbered("%2d ", number, bank.name));
    }
    return ListLine(kLoadNewPreset, kBankList, "bank:", items, current);
}

std::string CSimObjectTree::ProgramList() const {
    const SimProcessor& p = m_processors[m_nCurrentProcessor];
    std::vector<std::string> items;
    int current = -1;
    if (const SimBank* bank = m_library.FindBank(p.selectedBank)) {
        for (const auto& [number, program] : bank->programs) {
            if (p.loaded && p.loadedBank == bank->number && p.loadedNumber == number)
                current = static_cast<int>(items.size());
            items.push_back(Numbered("%3d ", number, NameOf(program.text)));
        }
    }
    return ListLine(kLoadNewPreset, kProgramList, "programs:", items, current);
}

std::string CSimObjectTree::DeleteList() const {
    const int selected = m_processors[m_nCurrentProcessor].selectedBank;
    std::vector<std::string> items;
    int current = -1;
    if (const SimBank* bank = m_library.FindBank(selected)) {
        for (const auto& [number, program] : bank->programs) {
            if (!program.user) continue;
            if (m_panel.DeleteTargetBank() == selected && m_panel.DeleteTargetProgram() == number)
                current = static_cast<int>(items.size());
            items.push_back(Numbered("%3d ", number, NameOf(program.text)));
        }
    }
    return ListLine(kDeletePreset, kDeleteList, "delete: %s", items, current);
}
