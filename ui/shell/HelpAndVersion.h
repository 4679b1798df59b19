#pragma once
// quorlin's --help and --version, answered before any Qt application object exists: they need no
// display, so they work where a Qt program would abort (no DISPLAY, no QT_QPA_PLATFORM).
// The help text is generated from the manual page's source (docs/man/quorlin.1.scd).

#include <cstdio>
#include <optional>

// When the arguments ask for help (--help, -h, -?, --help-all) or the version (--version, -v),
// prints it to `out` and returns the exit status 0; otherwise returns nothing and the program
// goes on. Arguments after "--", and the value of --port, are not looked at.
std::optional<int> AnswerHelpOrVersion(int argc, const char* const* argv, std::FILE* out);
