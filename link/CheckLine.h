#pragma once
// One finding of a connection check: "ok" or "FAIL", what was checked and what was found.
// Printed as "ok <what> — <detail>" (the command-line tool may use an ASCII "-" for the dash).

#include <string>

struct CheckLine {
    bool ok = false;
    std::string what;
    std::string detail;

    std::string Text(bool asciiDash = false) const {
        return std::string(ok ? "ok" : "FAIL") + " " + what + (asciiDash ? " - " : " \u2014 ") +
               detail;
    }
};
