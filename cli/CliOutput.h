#pragma once
// Standard output as quorlin-cli writes its results. CCheckedOutput is the buffer std::cout
// writes through while a run lasts: it hands every character on to the C library's stdout at
// once (so output written there directly, as fetch's "-" is, stays in order) and keeps the
// reason of the first write that failed, which a later flush would no longer tell.
//
// Rules: a command that fails to write its results says so once ("Cannot write to standard
// output: No space left on device") and ends with status 1; a reader that has gone away (a
// closed pipe after `| head -1`) is the one exception for the commands that do not watch their
// output themselves (library, import, verify, doctor, --help, --version): they end quietly, as
// a pipe's reader expects. The unit commands (CliCommands.h) say it for a closed pipe too.
//
// Main thread only.

#include <streambuf>
#include <string>

class CCheckedOutput : public std::streambuf {
public:
    // The system's error number of the first failed write, or 0.
    int Error() const { return m_nError; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void Failed();
    int m_nError = 0;
};

// "Cannot write to standard output: REASON" (a full stop instead when the reason is 0).
std::string OutputFailedText(int errorNumber);
