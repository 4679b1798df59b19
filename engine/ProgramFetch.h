#pragma once
// Fetching a program that the unit's list names, and the one rule for telling whether the unit
// sent that program. A program change the unit does not follow (it listens on another MIDI
// channel, always runs one program, or the program was renamed meanwhile) still gets an answer to
// the program request: the text of the program the unit runs. Only the name inside the text (the
// text between its first two double quotes) shows that it is another program.
//
// Names are compared as UTF-8 text, the unit's bytes read by the one rule of UnitText.h, without
// trailing blanks (the unit pads the names in some of its lists). No Qt; any thread.

#include <string>

// What CLibrarian::FetchProgram found.
struct ProgramFetch {
    enum class Status {
        Fetched,       // the unit sent the listed program: `text` is its text
        NotSent,       // no text came, also when asked once more
        WrongProgram,  // the unit sent another program, also when asked once more
    };
    Status status = Status::NotSent;
    std::string text;      // the text the unit sent last (also another program's)
    std::string sentName;  // the name inside `text` as UTF-8 (UnitText.h), without trailing blanks
    std::string reason;    // why it is not the listed program, in the words of ProgramFetchReason

    bool Fetched() const { return status == Status::Fetched; }
};

// The name inside a program's text (between its first two double quotes), without trailing
// blanks, as the unit's bytes; the empty text when it has none.
std::string NameInsideText(const std::string& text);

// True when `a` and `b` name the same program: equal once trailing blanks are removed.
bool SameProgramName(const std::string& a, const std::string& b);

// "the unit did not send it", or "the unit sent "Big Hall" instead of "Vocal Plate"" (no full
// stop: callers put it after a colon). Empty for a program that was fetched.
std::string ProgramFetchReason(const ProgramFetch& fetch, const std::string& listedName);
