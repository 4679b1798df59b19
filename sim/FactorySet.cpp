#include "sim/FactorySet.h"

#include <string>
#include <vector>

#include "sim/ProgramText.h"
#include "sim/SimLibrary.h"

namespace sim {

namespace {

struct BuiltInBank {
    int number;
    const char* name;
};

struct BuiltInProgram {
    int bank;
    int number;
    const char* name;
    const char* algorithm;
    int mix;
    const char* description;  // nullptr: a program without information text
    bool user;
};

constexpr BuiltInBank kBanks[] = {
    {0, "Halls"},    {1, "Rooms"}, {2, "Delays"}, {3, "Pitch"}, {4, "Modulation"},
    {5, "Dynamics"}, {6, "Multi"}, {10, "Mine"},  {12, "Live"}, {20, "Jo's Scratch"},
};

constexpr BuiltInProgram kPrograms[] = {
    {0, 0, "Big Hall", "Stereo Hall", 35, "A wide concert hall with a long, dark tail.", false},
    {0, 1, "Small Hall", "Stereo Hall", 30, "A bright recital hall for strings and piano.", false},
    {0, 2, "Church", "Stereo Hall", 40, "Stone walls and a six-second decay.", false},
    {0, 3, "Plate Hall", "Plate", 25, "A hall with the density of a plate.", false},
    {0, 5, "Mike's Plate", "Plate", 20, "Short bright plate for lead vocals.", true},
    {0, 6, "My Hall", "Stereo Hall", 45, "Big Hall with the low end rolled off.", true},
    {1, 0, "Studio Room", "Room", 20, "A live tracking room with wood floors.", false},
    {1, 1, "Drum Room", "Room", 30, "Tight, punchy ambience for drum kits.", false},
    {1, 2, "Chamber", "Room", 25, "An echo chamber under the studio floor.", false},
    {1, 3, "Booth", "Room", 15, "A dry vocal booth, barely there.", false},
    {2, 0, "Tape Echo", "Delay", 30, "Warm repeats with wow and flutter.", false},
    {2, 1, "Ping Pong", "Delay", 35, "Repeats that bounce left and right.", false},
    {2, 2, "Dual Delay", "Delay", 30, "Two delay lines tuned to the tempo.", false},
    {2, 3, "Slapback", "Delay", 25, "One quick repeat, rockabilly style.", false},
    {3, 0, "Octave Down", "Pitch Shift", 50, "One octave below the input.", false},
    {3, 1, "Fifth Up", "Pitch Shift", 40, "A perfect fifth above the input.", false},
    {3, 2, "Micro Shift", "Pitch Shift", 50, "Thickening by a few cents each side.", false},
    {3, 3, "Diatonic 3rds", "Diatonic", 40, "Harmony a third above, in key.", false},
    {4, 0, "Chorus", "Modulation", 50, "Classic stereo chorus.", false},
    {4, 1, "Flanger", "Modulation", 50, "Jet-plane sweep with feedback.", false},
    {4, 2, "Phaser", "Modulation", 50, "Four-stage phaser, slow rate.", false},
    {4, 3, "Vibrato", "Modulation", 100, "Pitch vibrato, no dry signal.", false},
    {5, 0, "Compressor", "Dynamics", 100, "Gentle 3:1 bus compression.", false},
    {5, 1, "Gate", "Dynamics", 100, "Noise gate with a fast release.", false},
    {5, 2, "De-Esser", "Dynamics", 100, "Tames sibilance above 6 kHz.", false},
    {5, 3, "Limiter", "Dynamics", 100, "Brick-wall limiter at -1 dB.", false},
    {6, 0, "Verb+Delay", "Multi", 40, "Hall on DSP A, delay on DSP B.", false},
    {6, 1, "Pitch+Verb", "Multi", 40, "Shimmer: octave up into a hall.", false},
    {6, 2, "Chorus Echo", "Multi", 35, "Chorus feeding a tape echo.", false},
    {6, 3, "100% Wet", "Multi", 100, "Everything wet, for aux sends.", false},
    {10, 0, "Vocal Plate", "Plate", 20, "My go-to plate for vocals.", true},
    {10, 1, "Guitar Wash", "Multi", 60, "Long ambient wash for clean guitar.", true},
    {10, 3, "Snare Room", "Room", 30, "Short room for the snare only.", true},
    {12, 0, "Stage Verb", "Stereo Hall", 25, "Front-of-house hall, short tail.", true},
    {12, 1, "Monitor Slap", "Delay", 15, nullptr, true},
};

}  // namespace

void LoadFactorySet(CSimLibrary& library) {
    library.Clear();
    for (const auto& bank : kBanks) library.AddBank(bank.number, bank.name);
    for (const auto& p : kPrograms) {
        std::vector<std::string> info;
        if (p.description != nullptr) {
            info.emplace_back(p.description);
            info.push_back("Mix: " + std::to_string(p.mix) + "% wet, algorithm " + p.algorithm +
                           ".");
            info.emplace_back("Knob 1 sets the time, knob 2 the tone.");
        }
        library.AddProgram(p.bank, p.number, MakeProgramText(p.name, p.algorithm, p.mix, info),
                           p.user);
    }
}

}  // namespace sim
