#include "SafeFileName.h"

#include <string_view>

std::string SafeFileName(const std::string& programName) {
    if (programName.empty() || programName == "." || programName == "..") return "_";
    constexpr std::string_view kRefused = "/\\:*?\"<>|";
    std::string name = programName;
    for (auto& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || kRefused.find(c) != std::string_view::npos) c = '_';
    }
    return name;
}
