#pragma once
// The program's texts in the user's language. Our own texts are written in English in the code
// (the source texts); translations/quorlin_<language>.ts holds them in other languages, built
// into the program as ":/i18n/quorlin_<language>.qm". Qt's own texts (the buttons of message
// boxes and file dialogs, the context menus of text fields) come from Qt's "qtbase" translation
// in Qt's translation folder, where the system's Qt translations are installed.
//
// Call on the GUI thread after the application object exists and before any window is built:
// texts are looked up when a widget is made, not again later.

#include <QLocale>

// Installs on the application Qt's translation and ours for `locale` (the program passes
// QLocale(), the system's language: LANGUAGE, LC_ALL, LC_MESSAGES or LANG). Replaces what an
// earlier call installed. English, or a language we have no translation for, installs ours
// not at all: the source texts are shown. Returns whether ours was found for `locale`.
bool InstallTranslations(const QLocale& locale);
