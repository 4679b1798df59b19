#pragma once
// How quorlin-cli meets signals:
//
// - SIGPIPE is ignored: a closed output (`quorlin-cli backup … | head -1`) makes the write fail,
//   and the commands report that once and end with status 1 instead of dying without a word.
// - SIGINT, SIGTERM and SIGHUP are taken by one thread of their own (every other thread keeps
//   them blocked; one the program was started with ignored, as under nohup, stays ignored). It
//   puts back the settings of the serial port the run holds open (SavedTermios.h), as closing
//   it would, removes the run's temporary files (FileWriter.h) and then ends the program
//   by the same signal with its default action, so the caller sees the usual status (a shell
//   reports 128 + the signal's number).
//
// - While a CStopBetweenSteps lives (a whole-unit backup or a restore runs), the first of those
//   signals only asks the run to stop between programs: the backup then still writes its
//   manifest (saying it was cancelled), and no load or key sequence is cut in the middle, which
//   would leave the unit inside one of its menus. A second signal ends the program as above.
//
// StartSignalHandling must be called first thing in main, before any other thread exists, so that
// every later thread inherits the blocked signals.
//
// One backend per platform (CliSignalsPosix.cpp, CliSignalsWin.cpp: Ctrl+C, Ctrl+Break and the
// console being closed stand for the three signals there, and SIGPIPE does not exist).

void StartSignalHandling();

class CStopBetweenSteps {
public:
    CStopBetweenSteps();
    ~CStopBetweenSteps();
    CStopBetweenSteps(const CStopBetweenSteps&) = delete;
    CStopBetweenSteps& operator=(const CStopBetweenSteps&) = delete;
    // A signal asked the run to stop.
    static bool Requested();
};
