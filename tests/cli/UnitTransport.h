#pragma once
// How an end-to-end test reaches the simulated unit: which connection options it gives
// quorlin-cli, and which saved settings name the same connection. Start brings a fresh unit up
// (built-in contents; program changes taken only on `receiveChannel` 0..15, or on any channel
// for -1). False with a reason when this machine cannot provide the route.

#include <string>
#include <vector>

class IUnitTransport {
public:
    virtual ~IUnitTransport() = default;
    virtual bool Start(int receiveChannel, std::string& why) = 0;
    virtual std::vector<std::string> Options() const = 0;
    // Lines of the "SerialSetup", "MIDISetup" and "Options" groups of a settings file that make
    // quorlin-cli reach the unit without connection options.
    // `options`: further lines of the "Options" group.
    virtual std::string SavedConnection(const std::string& options = {}) const = 0;
};
