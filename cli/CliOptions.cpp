#include "cli/CliOptions.h"

#include <map>

#include "cli/CliLibraryCommands.h"
#include "engine/NameTable.h"
#include "engine/UnitRanges.h"
#include "link/serial/BaudRates.h"
#include "quorlin/help/QuorlinCliHelp.h"

namespace {

// Digits only: no sign, no blanks, nothing after the number.
bool ReadNumber(const std::string& text, long low, long high, int& value) {
    if (text.empty() || text.size() > 9) return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

struct CommandShape {
    CliOptions::Command command;
    std::size_t arguments;
};

// Commands whose arguments may be followed by options of their own.
bool TakesMore(CliOptions::Command command) {
    return command == CliOptions::Command::Restore || command == CliOptions::Command::Library ||
           command == CliOptions::Command::Import;
}

const std::map<std::string, CommandShape>& Commands() {
    using C = CliOptions::Command;
    static const std::map<std::string, CommandShape> commands = {
        {"banks", {C::Banks, 0}},        {"programs", {C::Programs, 1}},
        {"info", {C::Info, 2}},          {"load", {C::Load, 2}},
        {"backup", {C::Backup, 2}},      {"fetch", {C::Fetch, 3}},
        {"delete", {C::Delete, 2}},      {"delete-bank", {C::DeleteBank, 1}},
        {"name-bank", {C::NameBank, 2}}, {"find", {C::Find, 1}},
        {"verify", {C::Verify, 1}},      {"backup-unit", {C::BackupUnit, 1}},
        {"restore", {C::Restore, 1}},    {"doctor", {C::Doctor, 0}},
        {"library", {C::Library, 1}},    {"import", {C::Import, 1}},
    };
    return commands;
}

bool ReadCommandArguments(CliOptions& o, const std::vector<std::string>& a, std::string& error) {
    using C = CliOptions::Command;
    const auto bank = [&](const std::string& text) {
        if (ReadNumber(text, unit_ranges::kFirstBank, unit_ranges::kLastBank, o.bank)) return true;
        error = "BANK must be a bank number from 0 to 99, not \"" + text + "\"";
        return false;
    };
    const auto program = [&](const std::string& text) {
        if (ReadNumber(text, unit_ranges::kFirstProgram, unit_ranges::kLastProgram, o.program))
            return true;
        error = "PROGRAM must be a program number from 0 to 127, not \"" + text + "\"";
        return false;
    };
    const auto nonEmpty = [&](const std::string& text, const char* what) {
        if (!text.empty()) return true;
        error = std::string(what) + " must not be empty";
        return false;
    };
    switch (o.command) {
        case C::Banks:
        case C::Doctor:
            return true;
        case C::Programs:
        case C::DeleteBank:
            return bank(a[0]);
        case C::Info:
        case C::Delete:
            return bank(a[0]) && program(a[1]);
        case C::Load:
            o.path = a[1];
            return bank(a[0]) && nonEmpty(o.path, "FILE");
        case C::Backup:
            o.path = a[1];
            return bank(a[0]) && nonEmpty(o.path, "DIR");
        case C::Fetch:
            o.path = a[2];
            return bank(a[0]) && program(a[1]) && nonEmpty(o.path, "FILE");
        case C::NameBank:
            o.text = a[1];
            if (!bank(a[0])) return false;
            // Every character costs the unit up to some 15 s of key presses.
            if (nametable::CharacterCount(o.text) > nametable::kMaxNameLength) {
                error = "NAME holds at most " + std::to_string(nametable::kMaxNameLength) +
                        " characters, not " + std::to_string(nametable::CharacterCount(o.text));
                return false;
            }
            // The unit types names from its character table; anything else would come out as
            // a blank on the unit while the name given here is reported.
            for (char c : o.text) {
                if (nametable::Position(c) < 0) {
                    error = "the unit cannot enter the character '" + std::string(1, c) +
                            "' in a bank name; it accepts these: " +
                            std::string(nametable::kCharacters);
                    return false;
                }
            }
            // A bank listed without a name could not be told from its neighbours.
            if (nametable::IsBlankName(o.text)) {
                error = "NAME must hold at least one character other than a blank";
                return false;
            }
            return true;
        case C::Find:
            o.text = a[0];
            return nonEmpty(o.text, "TEXT");
        case C::BackupUnit:
        case C::Verify:
            o.path = a[0];
            return nonEmpty(o.path, "DIR");
        case C::Restore:
            o.path = a[0];
            if (!nonEmpty(o.path, "DIR")) return false;
            for (std::size_t i = 1; i < a.size(); ++i) {
                if (a[i] == "--dry-run" && !o.dryRun) {
                    o.dryRun = true;
                } else if (a[i] == "--bank" && i + 1 < a.size()) {
                    int n = 0;
                    if (!ReadNumber(a[++i], unit_ranges::kFirstBank, unit_ranges::kLastBank, n)) {
                        error = "--bank takes a bank number from 0 to 99, not \"" + a[i] + "\"";
                        return false;
                    }
                    o.banks.push_back(n);
                } else {
                    error = a[i] == "--bank" ? "--bank needs a value"
                                             : "restore does not take \"" + a[i] + "\"";
                    return false;
                }
            }
            return true;
        case C::Library:
        case C::Import:
            o.arguments = a;
            return CheckLibraryArguments(o, error);
    }
    return false;
}

}  // namespace

std::optional<CliOptions> CliOptions::Parse(const std::vector<std::string>& args,
                                            std::string& error) {
    CliOptions o;
    std::map<std::string, int> seen;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty() || a[0] != '-') break;  // the command word
        if (a == "--help" || a == "-h" || a == "--version") {
            o.help = a != "--version";
            o.version = a == "--version";
            return o;
        }
        if (seen[a]++ > 0) {
            error = a + " is given twice";
            return std::nullopt;
        }
        std::string value;
        if (a != "--demo" && a != "--verbose") {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        const auto number = [&](long low, long high, int& out) {
            if (ReadNumber(value, low, high, out)) return true;
            error = a + " takes a number from " + std::to_string(low) + " to " +
                    std::to_string(high) + ", not \"" + value + "\"";
            return false;
        };
        bool ok = true;
        if (a == "--serial") {
            o.serialPath = value;
            ok = !value.empty();
            if (!ok) error = "--serial needs a device path";
        } else if (a == "--baud") {
            int baud = 0;
            ok = ReadNumber(value, 1, 4000000, baud) && serial::IsSupportedBaudRate(baud);
            if (ok) {
                o.baudRate = baud;
            } else {
                error = "--baud takes one of";
                for (const int listed : serial::SupportedBaudRates())
                    error += " " + std::to_string(listed);
                error += ", not \"" + value + "\"";
            }
        } else if (a == "--parity") {
            ok = value == "n" || value == "e" || value == "o";
            if (ok)
                o.parity = value[0];
            else
                error = "--parity takes n, e or o, not \"" + value + "\"";
        } else if (a == "--data") {
            ok = value == "7" || value == "8";
            if (ok)
                o.dataBits = value[0] - '0';
            else
                error = "--data takes 7 or 8, not \"" + value + "\"";
        } else if (a == "--stop") {
            ok = value == "1" || value == "2";
            if (ok)
                o.stopBits = value[0] - '0';
            else
                error = "--stop takes 1 or 2, not \"" + value + "\"";
        } else if (a == "--midi-in") {
            ok = number(0, 9999, o.midiIn);
        } else if (a == "--midi-out") {
            ok = number(0, 9999, o.midiOut);
        } else if (a == "--demo") {
            o.connection = Connection::Demo;
        } else if (a == "--dsp") {
            ok = value == "A" || value == "B";
            if (ok)
                o.dsp = value == "A" ? 1 : 2;
            else
                error = "--dsp takes A or B, not \"" + value + "\"";
        } else if (a == "--trace") {
            o.tracePath = value;
            ok = !value.empty();
            if (!ok) error = "--trace needs a file (\"-\": standard error)";
        } else if (a == "--verbose") {
            o.verbose = true;
        } else if (a == "--channel") {
            int channel = 0;
            ok = number(unit_ranges::kFirstChannel + 1, unit_ranges::kLastChannel + 1, channel);
            o.channel = channel - 1;
        } else {
            error = "unknown option " + a;
            ok = false;
        }
        if (!ok) return std::nullopt;
    }

    const bool serial = seen.count("--serial") != 0;
    const bool midiIn = seen.count("--midi-in") != 0;
    const bool midiOut = seen.count("--midi-out") != 0;
    const bool demo = seen.count("--demo") != 0;
    if (static_cast<int>(serial) + static_cast<int>(midiIn || midiOut) + static_cast<int>(demo) >
        1) {
        error = "choose one connection: --serial, --midi-in with --midi-out, or --demo";
        return std::nullopt;
    }
    for (const char* line : {"--baud", "--parity", "--data", "--stop"}) {
        if (seen.count(line) != 0 && !serial) {
            error = std::string(line) + " goes with --serial";
            return std::nullopt;
        }
    }
    if (midiIn != midiOut) {
        error = "--midi-in and --midi-out go together";
        return std::nullopt;
    }
    if (serial) o.connection = Connection::Serial;
    if (midiIn) o.connection = Connection::MIDI;

    if (i >= args.size()) {
        error = "no command given";
        return std::nullopt;
    }
    const auto found = Commands().find(args[i]);
    if (found == Commands().end()) {
        error = "unknown command \"" + args[i] + "\"";
        return std::nullopt;
    }
    o.command = found->second.command;
    const std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
    if (rest.size() < found->second.arguments ||
        (!TakesMore(o.command) && rest.size() != found->second.arguments)) {
        error = args[i] + " takes " + std::to_string(found->second.arguments) + " argument" +
                (found->second.arguments == 1 ? "" : "s") + ", not " + std::to_string(rest.size());
        return std::nullopt;
    }
    if (!ReadCommandArguments(o, rest, error)) return std::nullopt;
    return o;
}

std::string CliOptions::Usage() {
    return kQuorlinCliHelp;
}
