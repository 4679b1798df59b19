#pragma once
// quorlin-cli doctor: the connection check (engine/ConnectionCheck.h) over the connection the
// run's settings choose (the options given, else the saved ones), printed on `out` one line per
// check as it is found: "ok|FAIL <what> - <detail>". Returns the exit status: 0 when the unit
// answered, 1 otherwise.
//
// Reads the run's settings from the process-wide store; runs on the main thread, with no engine.

#include <iosfwd>

class CDeviceLink;

// `demoLink`: the demo unit's link when the run uses --demo; otherwise null.
int RunDoctor(std::ostream& out, CDeviceLink* demoLink);
