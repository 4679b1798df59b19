#pragma once
// Explanations of why a serial port cannot be used, in words a user can act on, for the
// connection check (link/SerialPortCheck.h). One implementation per operating system
// (PosixPortDiagnosis.cpp on POSIX systems, Win32PortDiagnosis.cpp on Windows). Pure queries of the system: nothing here opens the
// port, so calling them never disturbs a program that holds it. Any thread may call them.

#include <string>

namespace serial {

// Whether `path` names a device that can be a serial port, judged without opening it. Empty when
// it can; otherwise the reason: the system's text when it does not exist ("No such file or
// directory"), or what it is instead ("a regular file, not a terminal device"). On Windows a COM
// name the system does not know is "no such port" with the ports it does know.
std::string PortPathProblem(const std::string& path);

// Why opening `path` was refused, given the reason the port gave (ISerialPort::Open's `whyNot`):
// - permission denied: the reason, the group that owns the device and the usual remedy (adding
//   the user to that group, then logging in again);
// - held by another program: which programs hold it, by name and process number, where the
//   system can tell (Linux; Windows does not tell);
// - otherwise the reason as given.
std::string ExplainOpenFailure(const std::string& path, const std::string& whyNot);

}  // namespace serial
