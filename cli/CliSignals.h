#pragma once
// How quorlin-cli meets signals:
//
// - SIGPIPE is ignored: a closed output (`quorlin-cli backup … | head -1`) makes the write fail,
//   and the commands report that once and end with status 1 instead of dying without a word.
// - SIGINT, SIGTERM and SIGHUP are taken by one thread of their own (every other thread keeps
//   them blocked; one the program was started with ignored, as under nohup, stays ignored). It
//   removes the run's temporary files (FileWriter.h) and then ends the program
//   by the same signal with its default action, so the caller sees the usual status (a shell
//   reports 128 + the signal's number).
//
// StartSignalHandling must be called first thing in main, before any other thread exists, so that
// every later thread inherits the blocked signals.
//
// One backend per platform (CliSignalsPosix.cpp).

void StartSignalHandling();
