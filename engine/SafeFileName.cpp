#include "engine/SafeFileName.h"

#include <string_view>

namespace {

constexpr std::string_view kExtension = ".sig";

// `name` cut so that it takes at most `limit` bytes, at the start of a character: a UTF-8
// character is never cut in two.
std::string Shorten(const std::string& name, std::size_t limit) {
    if (name.size() <= limit) return name;
    std::size_t keep = limit;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return name.substr(0, keep);
}

std::string Folded(const std::string& name) {
    std::string folded = name;
    for (auto& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

}  // namespace

std::string SafeFileName(const std::string& programName) {
    if (programName.empty()) return "_";
    constexpr std::string_view kRefused = "/\\:*?\"<>|";
    std::string name = programName;
    for (auto& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || kRefused.find(c) != std::string_view::npos) c = '_';
    }
    // No hidden files, and neither "." nor "..".
    if (name.front() == '.') name.front() = '_';
    return name;
}

std::string CBackupNamer::Next(const std::string& programName) {
    const std::string safe = SafeFileName(programName);
    for (int n = 1;; ++n) {
        const std::string suffix = n == 1 ? std::string() : " (" + std::to_string(n) + ")";
        const std::size_t room = kMaxFileNameBytes - kExtension.size() - suffix.size();
        std::string name = Shorten(safe, room) + suffix + std::string(kExtension);
        if (m_given.insert(Folded(name)).second) return name;
    }
}
