#include "ui/shell/HelpAndVersion.h"

#include <cstring>

#include "quorlin/Version.h"
#include "quorlin/help/QuorlinHelp.h"

std::optional<int> AnswerHelpOrVersion(int argc, const char* const* argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const auto is = [a](const char* name) { return std::strcmp(a, name) == 0; };
        if (is("--")) break;
        if (is("--port")) {
            ++i;
        } else if (is("--help") || is("-h") || is("-?") || is("--help-all")) {
            std::fputs(kQuorlinHelp, out);
            return 0;
        } else if (is("--version") || is("-v")) {
            std::fprintf(out, "quorlin %s\n", kQuorlinVersion);
            return 0;
        }
    }
    return std::nullopt;
}
