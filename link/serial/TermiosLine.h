#pragma once
// Translation of the serial line settings (speed, parity letter, data bits, stop bits) into
// termios flags, and the check that a port kept what it was given. Used by the POSIX port;
// pure functions, callable from any thread.

#include <termios.h>

class CSerialSettings;

// Sets speed, parity, character size and stop bits of `tio` from `line`. False, with `tio`
// untouched, when any of them has no termios form: speeds other than the standard ones,
// parity letters other than n, e, o (and m, s where the system has mark and space parity),
// data bits outside 5 to 8, stop bits other than 1 and 2.
bool ApplyLine(const CSerialSettings& line, termios& tio);

// True when `actual` has the speed, parity, character size and stop bits of `wanted`.
bool LineMatches(const termios& wanted, const termios& actual);
