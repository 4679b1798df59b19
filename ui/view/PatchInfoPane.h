#pragma once
// The Patch Info pane beside the program list: a title and the information text of the program
// loaded on the current DSP, as the browsing state says (CBrowseState::PaneText), shown as the
// unit sent it (plain text: no markup, "&" stays "&"). The text can be selected and copied with
// the mouse and the keyboard but not edited; a screen reader finds it under the name
// "Patch Info". Colours come from the palette's roles only, so the pane follows light, dark and
// high-contrast themes.
//
// Drops are not taken here: they go on to the widget below (the view), which takes them where
// the list does. Whether the pane is on screen is the owner's business.
//
// GUI thread only.

#include <QWidget>

class CBrowseState;
class QLabel;
class QPlainTextEdit;
class QScrollBar;

class CPatchInfoPane : public QWidget {
    Q_OBJECT
public:
    explicit CPatchInfoPane(const CBrowseState& state, QWidget* parent = nullptr);

    // The text shown now.
    QString Text() const;
    // The read-only text view and its vertical scroll bar (shown while the text does not fit).
    QPlainTextEdit* TextView() const { return m_text; }
    QScrollBar* ScrollBar() const;
    QLabel* Title() const { return m_title; }

private:
    void ShowStateText();

    const CBrowseState& m_state;
    QString m_shown;  // as the state gave it, before the text view's own line handling
    QLabel* m_title = nullptr;
    QPlainTextEdit* m_text = nullptr;
};
