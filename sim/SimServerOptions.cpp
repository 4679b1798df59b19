#include "sim/SimServerOptions.h"

#include <cstdlib>

namespace {

bool ReadInt(const std::string& text, int low, int high, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

std::optional<SimServerOptions> SimServerOptions::Parse(const std::vector<std::string>& args,
                                                        std::string& error) {
    SimServerOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        const auto number = [&](int low, int high, int& out) {
            std::string text;
            if (!value(text)) return false;
            if (!ReadInt(text, low, high, out)) {
                error = a + ": " + text + " is not a number from " + std::to_string(low) + " to " +
                        std::to_string(high);
                return false;
            }
            return true;
        };
        bool ok = true;
        if (a == "--link")
            ok = value(o.linkPath);
        else if (a == "--seed")
            ok = value(o.seedFolder);
        else if (a == "--no-factory")
            o.factorySet = false;
        else if (a == "--line-rate")
            ok = number(0, 4000000, o.lineRate);
        else if (a == "--data-bits")
            ok = number(5, 8, o.dataBits);
        else if (a == "--stop-bits")
            ok = number(1, 2, o.stopBits);
        else if (a == "--channel") {
            ok = number(1, 16, o.receiveChannel);
            if (ok) --o.receiveChannel;
        } else if (a == "--own-speed-only")
            o.ownSpeedOnly = true;
        else if (a == "--verbose" || a == "-v")
            o.verbose = true;
        else if (a == "--help" || a == "-h")
            o.help = true;
        else {
            error = "unknown option " + a;
            ok = false;
        }
        if (!ok) return std::nullopt;
    }
    if (o.ownSpeedOnly && o.lineRate == 0) {
        error = "--own-speed-only needs a line rate (--line-rate BAUD, not 0)";
        return std::nullopt;
    }
    return o;
}

std::string SimServerOptions::Usage() {
    return "Usage: quorlin-sim [options]\n"
           "Serves the simulated effects unit on a pseudo-terminal. Prints the terminal's path on\n"
           "the first line of standard output, then serves until SIGINT or SIGTERM.\n"
           "\n"
           "  --link PATH        also make PATH a symbolic link to the terminal (removed at exit)\n"
           "  --seed DIR         add the \".sig\" files of DIR as user programs: files directly "
           "in\n"
           "                     DIR go into a new bank at the lowest free number, named after\n"
           "                     DIR; a subfolder \"NN Name\" (or \"NN\") fills bank NN (0-99),\n"
           "                     creating it, or renaming it when a name is given. A program's\n"
           "                     name is the text between the file's first two double quotes;\n"
           "                     files without one are left out. Programs take the lowest free\n"
           "                     numbers, in file-name order.\n"
           "  --no-factory       start without the built-in banks\n"
           "  --line-rate BAUD   pace the replies at this line rate (default 38400; 0: no pacing)\n"
           "  --data-bits N      data bits per byte for the pacing (5-8, default 8)\n"
           "  --stop-bits N      stop bits per byte for the pacing (1-2, default 2)\n"
           "  --own-speed-only   ignore what the client sends unless its port is set to the\n"
           "                     line rate (as a unit hears only noise at another speed)\n"
           "  --channel N        take program changes only on MIDI channel N (1-16; default any)\n"
           "  --verbose, -v      log every frame received, and what the unit did, on stderr\n"
           "  --help, -h         show this text\n";
}
