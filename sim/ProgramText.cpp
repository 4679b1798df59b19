#include "sim/ProgramText.h"

namespace sim {

std::optional<std::string> ProgramName(std::string_view text) {
    const auto first = text.find('"');
    if (first == std::string_view::npos) return std::nullopt;
    const auto second = text.find('"', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    return std::string(text.substr(first + 1, second - first - 1));
}

std::vector<std::string> InfoLines(std::string_view text) {
    static constexpr std::string_view kTag = "info ";
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.substr(0, kTag.size()) == kTag) lines.emplace_back(line.substr(kTag.size()));
        start = end + 1;
    }
    return lines;
}

std::string MakeProgramText(const std::string& name, const std::string& algorithm, int mixPercent,
                            const std::vector<std::string>& info) {
    std::string text = "preset \"" + name + "\"\n";
    text += "algorithm \"" + algorithm + "\"\n";
    text += "mix " + std::to_string(mixPercent) + "\n";
    for (const auto& line : info) text += "info " + line + "\n";
    text += "end\n";
    return text;
}

}  // namespace sim
