#pragma once
// One program of a bank as the catalogue lists it.

#include <string>

struct ProgramEntry {
    // "number blank name", as the unit lists it (leading white space removed), as UTF-8 text
    // (UnitText.h).
    std::string text;
    int user = 0;      // 1: a user program (the unit also lists it as deletable); 0: factory
};
