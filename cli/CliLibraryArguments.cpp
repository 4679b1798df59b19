// The library commands' arguments, checked while parsing (CliOptions.cpp); the same in every
// build, with or without the library layer.
#include "cli/CliLibraryCommands.h"

bool CheckLibraryArguments(const CliOptions& o, std::string& error) {
    const auto& a = o.arguments;
    if (o.command == CliOptions::Command::Import) {
        for (const auto& path : a) {
            if (path.empty()) {
                error = "import: a PATH must not be empty";
                return false;
            }
        }
        return !a.empty() || (error = "import takes at least one file or folder", false);
    }
    static const struct {
        const char* word;
        std::size_t count;
        const char* usage;
    } shapes[] = {{"search", 2, "library search TEXT"},
                  {"show", 2, "library show SHA"},
                  {"export", 3, "library export SHA FILE"},
                  {"duplicates", 1, "library duplicates"}};
    for (const auto& shape : shapes) {
        if (a.empty() || a[0] != shape.word) continue;
        if (a.size() != shape.count) {
            error = std::string("usage: ") + shape.usage;
            return false;
        }
        if (shape.count == 3 && a[2].empty()) {
            error = "FILE must not be empty";
            return false;
        }
        return true;
    }
    error = a.empty() ? "library needs search, show, export or duplicates"
                      : "library does not know \"" + a[0] + "\"";
    return false;
}
