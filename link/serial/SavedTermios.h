#pragma once
// The terminal settings that each open POSIX serial port found at Open, kept where a program that
// is ending by a signal can put them back: CPosixSerialPort keeps its port's settings here from
// Open to Close, and the command-line tool's signal handling calls RestoreAll before the signal
// ends it, so that the line is left as a normal exit leaves it.
//
// Threads: Keep and Forget are called by the port's owner; RestoreAll may be called from any
// thread, a signal handler included (it only touches lock-free atomics and calls tcsetattr and
// ioctl). Forget waits while RestoreAll is putting that port's settings back, so the descriptor
// is never closed under it.

#include <termios.h>

namespace savedtermios {

// Keeps `saved` as the settings to put back on the open terminal `fd`. Returns the entry's
// number for Forget, or -1 when every entry is taken (the port is then not put back on a signal).
int Keep(int fd, const termios& saved);
// Drops the entry `entry` (from Keep; -1 does nothing). Call it before the descriptor is closed.
void Forget(int entry);
// Puts the kept settings back on every port that is still open, at once (TCSANOW: a program
// about to end does not wait for its output to drain), and lets others open the port again
// (TIOCNXCL). The ports stay open and kept.
void RestoreAll();

}  // namespace savedtermios
