#pragma once
// The commands of the main window, one QAction each, created once by the main window with their
// text, keys, status tip, tool tip and an object name that says what each is ("deleteAction").
// The main window places them in its menus and toolbar, connects them to what they do and keeps
// each one's enable rule and check mark in step with the browsing state's signals.
//
// GUI thread only. The actions belong to the main window.

#include <array>

#include "engine/UnitRanges.h"

class QAction;

struct CMainActions {
    // File
    QAction* exit = nullptr;
    // View
    QAction* refresh = nullptr;
    QAction* toolbar = nullptr;
    QAction* statusBar = nullptr;
    QAction* patchInfo = nullptr;
    // Options
    QAction* commSetup = nullptr;
    std::array<QAction*, unit_ranges::kChannelCount> channels{};  // channels[0] is channel 1
    QAction* dspA = nullptr;
    QAction* dspB = nullptr;
    // Tools
    QAction* del = nullptr;
    QAction* find = nullptr;
    QAction* findNext = nullptr;
    QAction* loadPatch = nullptr;
    QAction* backup = nullptr;
    QAction* backupUnit = nullptr;
    QAction* restoreUnit = nullptr;
    // Help
    QAction* about = nullptr;
    // The toolbar and the keyboard only.
    QAction* back = nullptr;
    QAction* createBank = nullptr;
    // The list only (Enter, a double click): opens the selected bank or loads the selected
    // program.
    QAction* open = nullptr;
};
