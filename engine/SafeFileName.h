#pragma once
// The name of a ".sig" file made from a program's name, for backups and for dragging a program
// out: characters that are path separators or that common file systems refuse
// (/ \ : * ? " < > | and the control characters) become "_"; a name that is empty, "." or ".."
// becomes "_". Every other byte stays, so a name of letters, digits and blanks is unchanged.
// The extension is not added. Pure function, callable from any thread.

#include <string>

std::string SafeFileName(const std::string& programName);
