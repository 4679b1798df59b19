#pragma once
// One of the unit's two processors (DSP A, DSP B) as the model keeps it: the bank that its last
// bank select chose, and the program it runs. A processor runs a copy of the program's text, so
// deleting the stored program does not stop it.

#include <string>

struct SimProcessor {
    int selectedBank = 0;
    bool loaded = false;
    int loadedBank = -1;
    int loadedNumber = -1;
    std::string text;
};
