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

    // Every frame the unit took in ('>': to the unit) and every reply it sent ('<'), in order,
    // as far as they have come by now: the frame's length, and its bytes or (where the unit's
    // log shortens long frames) the first of them.
    struct UnitFrame {
        char direction = '>';
        std::string bytes;
        std::size_t length = 0;
    };
    using Traffic = std::vector<UnitFrame>;
    virtual Traffic UnitTraffic() = 0;
};
