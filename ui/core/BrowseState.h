#pragma once
// What the user is browsing, in one place: the level (the bank list, or the programs of one
// bank), the bank shown and its row in the bank list, the DSP that takes bank changes, the MIDI
// channel of program changes, whether the patch info pane is shown, the program loaded on each
// DSP with its information text, the text of the last search and the title of what is shown.
//
// The view owns it and changes it as the user browses; the commands change it through its
// setters; the list, the info pane and the main window observe it. Every setter emits its change
// signal only when the value really changed.
//
// GUI thread only.

#include <QObject>
#include <QString>

class CBrowseState : public QObject {
    Q_OBJECT
public:
    // The levels of the view.
    static constexpr int kBankLevel = 0;
    static constexpr int kProgramLevel = 1;

    // The program loaded on one DSP: its row in the program list and the bank it came from
    // (both -1: none; only the row -1: a program of the bank was asked for, but the unit runs
    // another one, which the info text names).
    struct LoadedProgram {
        int nIndex = -1;
        int nBank = -1;
        bool operator==(const LoadedProgram&) const = default;
    };

    explicit CBrowseState(QObject* parent = nullptr);

    int Level() const { return m_nLevel; }
    // The number of the bank whose programs are (or were last) shown; -1 before any.
    int CurrentBank() const { return m_nCurrentBank; }
    // The row of that bank in the bank list; -1 before any.
    int BankIndex() const { return m_nBankIndex; }
    // 1 DSP A, 2 DSP B.
    int Dsp() const { return m_nDsp; }
    // 0 to 15.
    int Channel() const { return m_nChannel; }
    bool ShowInfoPane() const { return m_bShowInfoPane; }
    // `dsp` 1 for DSP A, 2 for DSP B.
    LoadedProgram Loaded(int dsp) const { return m_loaded[Slot(dsp)]; }
    QString Info(int dsp) const { return m_strInfo[Slot(dsp)]; }
    QString FindText() const { return m_strFind; }
    QString Title() const { return m_strTitle; }

    // Whether the info pane is on screen: it is shown, and the programs of a bank are listed.
    bool PaneShown() const { return m_bShowInfoPane && m_nLevel == kProgramLevel; }
    // Whether the program list's row `row` is the program loaded on the current DSP.
    bool IsLoadedProgram(int row) const;
    // The text the info pane shows: that of the program loaded on the current DSP from the shown
    // bank, or the note that none is.
    QString PaneText() const;
    static QString NoProgramText();

    void SetLevel(int level);
    void SetCurrentBank(int bank);
    void SetBankIndex(int index);
    void SetDsp(int dsp);
    // Clamped to 0..15.
    void SetChannel(int channel);
    void SetShowInfoPane(bool shown);
    void SetLoaded(int dsp, LoadedProgram loaded);
    void ClearLoaded(int dsp) { SetLoaded(dsp, {}); }
    void SetInfo(int dsp, const QString& info);
    void SetFindText(const QString& text);
    void SetTitle(const QString& title);

signals:
    void levelChanged(int level);
    void currentBankChanged(int bank);
    void bankIndexChanged(int index);
    void dspChanged(int dsp);
    void channelChanged(int channel);
    void showInfoPaneChanged(bool shown);
    void loadedChanged(int dsp);
    void infoChanged(int dsp);
    void findTextChanged(const QString& text);
    void titleChanged(const QString& title);

private:
    static int Slot(int dsp) { return dsp == 1 ? 0 : 1; }

    int m_nLevel = kBankLevel;
    int m_nCurrentBank = -1;
    int m_nBankIndex = -1;
    int m_nDsp = 1;
    int m_nChannel = 0;
    bool m_bShowInfoPane = true;
    LoadedProgram m_loaded[2];
    QString m_strInfo[2];
    QString m_strFind;
    QString m_strTitle;
};
