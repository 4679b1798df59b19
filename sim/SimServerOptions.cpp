#include "sim/SimServerOptions.h"

#include <cstdlib>

#include "quorlin/help/QuorlinSimHelp.h"

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
        else if (a == "--version")
            o.version = true;
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
    return kQuorlinSimHelp;
}
