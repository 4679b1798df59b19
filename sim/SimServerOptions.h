#pragma once
// The command line of quorlin-sim, read into one record.

#include <optional>
#include <string>
#include <vector>

struct SimServerOptions {
    std::string linkPath;     // --link PATH: a symbolic link to the pseudo-terminal
    std::string seedFolder;   // --seed DIR
    bool factorySet = true;   // --no-factory clears it
    int lineRate = 38400;     // --line-rate BAUD; 0: no pacing
    int dataBits = 8;         // --data-bits 5..8
    int stopBits = 2;         // --stop-bits 1..2
    int receiveChannel = -1;  // --channel 1..16 (stored 0..15); -1: any channel
    // --own-speed-only: answer only while the client's line runs at lineRate; what arrives at
    // another speed is ignored, as a real unit hears only noise then.
    bool ownSpeedOnly = false;
    bool verbose = false;     // --verbose
    bool help = false;        // --help
    bool version = false;     // --version

    // Wire time of one byte in bits: a start bit, the data bits and the stop bits.
    int BitsPerByte() const { return 1 + dataBits + stopBits; }

    // Reads the arguments after the program name. On a fault returns nothing and sets `error`.
    static std::optional<SimServerOptions> Parse(const std::vector<std::string>& args,
                                                 std::string& error);
    // The --help text (from docs/man/quorlin-sim.1.scd).
    static std::string Usage();
};
