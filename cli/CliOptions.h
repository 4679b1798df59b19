#pragma once
// The command line of quorlin-cli, read into one record:
//
//   quorlin-cli [--serial PATH [--baud N] [--parity n|e|o] [--data 7|8] [--stop 1|2]
//               | --midi-in N --midi-out N | --demo] [--dsp A|B] [--channel 1-16]
//               [--trace FILE] [--verbose] COMMAND
//
// Options come before the command; everything after the command word is its arguments, so a
// search text or a bank name may itself start with "-". Parse checks everything that can be
// checked without the unit: the option values, the command word, the number of arguments and
// the numbers among them (bank 0 to 99, program 0 to 127). Whether a bank or program exists is
// the unit's business and is checked when the command runs.
//
// Pure functions; callable from any thread.

#include <optional>
#include <string>
#include <vector>

struct CliOptions {
    enum class Connection { Saved, Serial, MIDI, Demo };
    enum class Command {
        Banks,       // banks
        Programs,    // programs BANK
        Info,        // info BANK PROGRAM
        Load,        // load BANK FILE.sig
        Backup,      // backup BANK DIR
        Fetch,       // fetch BANK PROGRAM FILE
        Delete,      // delete BANK PROGRAM
        DeleteBank,  // delete-bank BANK
        NameBank,    // name-bank BANK NAME
        Find,        // find TEXT
        BackupUnit,  // backup-unit DIR
        Verify,      // verify DIR (offline)
        Restore,     // restore DIR [--bank N]... [--dry-run]
        Doctor,      // doctor: the connection check
        Library,     // library search|show|export|duplicates ... (offline, CliLibraryCommands.h)
        Import,      // import PATH... (offline)
    };

    Connection connection = Connection::Saved;
    // --serial: the device and, where given, the line settings (unset: the saved ones).
    std::string serialPath;
    std::optional<int> baudRate;
    std::optional<char> parity;  // 'n', 'e' or 'o'
    std::optional<int> dataBits;
    std::optional<int> stopBits;
    // --midi-in / --midi-out: device numbers, the indices of the MIDI system's port lists.
    int midiIn = -1;
    int midiOut = -1;
    // --dsp: 1 for A, 2 for B; --channel: 0 to 15. Unset: the saved "BankChangeDevice" and
    // "Channel".
    std::optional<int> dsp;
    std::optional<int> channel;

    // --trace: where the frames to and from the unit are written ("-": stderr); empty: nowhere.
    std::string tracePath;
    // --verbose: messages and frames also go to the log file.
    bool verbose = false;

    Command command = Command::Banks;
    int bank = -1;     // every command but banks and find
    int program = -1;  // info, fetch, delete
    std::string path;  // load: the file; backup, backup-unit, verify, restore: the folder;
                       // fetch: the file to write
    std::string text;  // name-bank: the name; find: the search text

    std::vector<int> banks;  // restore: the --bank numbers, in order given (empty: every bank)
    bool dryRun = false;     // restore: print the plan only
    std::vector<std::string> arguments;  // library, import: every argument after the command

    // --help / -h or --version among the options: print that and do nothing else.
    bool help = false;
    bool version = false;

    // Reads the arguments after the program name. On a usage error returns nothing and sets
    // `error` to a one-line reason.
    static std::optional<CliOptions> Parse(const std::vector<std::string>& args,
                                           std::string& error);
    // The --help text, also printed with a usage error (from docs/man/quorlin-cli.1.scd).
    static std::string Usage();
};
