#pragma once
// "Communications Setup": how the program reaches the unit, over a serial port (port, baud rate,
// parity, data bits, stop bits) or over a MIDI input and output device. It edits the engine's
// link settings in memory; OK takes the values of every list that has a selection, from both
// groups, whichever connection type is chosen. Cancel changes nothing.
//
// Test (CConnectionTestPanel) checks the connection the dialog shows, the same way, without
// saving anything, and shows the findings below the groups.
//
// Each group's lists are filled the first time the group is shown during one opening. On Windows
// the port list holds "COM%d" for the ports 1 to 16 that exist plus the stored one; elsewhere it
// holds the serial devices the system lists plus the stored device path, as suggestions: the
// port field is editable there, and OK and Test take whatever path it shows, typed or picked.
//
// GUI thread only.

#include <QDialog>
#include <QStringList>
#include <functional>

class QComboBox;
class QLabel;
class CConnectionTestPanel;
class CMIDISettings;
class CSerialSettings;
class QStackedWidget;
class CLinkSettings;

// Whether COM port n can be opened now (Windows numbering).
bool PortExists(int n);

class CCommSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCommSetupDlg(QWidget* parent = nullptr);

    // The settings the dialog shows and, on OK, changes (the engine's, in memory).
    void SetSettings(CLinkSettings* settings) { m_pSettings = settings; }
    int m_bSerialFilled = 0;
    int m_bMidiFilled = 0;

    // Where the lists come from; tests replace them.
    std::function<QStringList()> m_fnSerialPorts;  // device paths (not used on Windows)
    std::function<QStringList()> m_fnMidiInputs;
    std::function<QStringList()> m_fnMidiOutputs;

    QComboBox* m_pConnectionType;  // 1013
    QComboBox* m_pMidiOut;         // 1015
    QComboBox* m_pMidiIn;          // 1014
    QComboBox* m_pStopBits;        // 1004
    QComboBox* m_pDataBits;        // 1002
    QComboBox* m_pParity;          // 1003
    QComboBox* m_pBaudRate;        // 1001
    QComboBox* m_pPort;            // 1000
    CConnectionTestPanel* m_pTest;  // the Test button and its lines

    // Selects the stored connection type and shows its group (exec does this first).
    void InitDialog();
    int exec() override;
    void accept() override;
    // Closing (OK, Cancel, the window's close) first ends a running test, so that the port is
    // free again for the program's own link: the dialog closes when the test has ended (at once
    // when none runs), the wait cursor showing and its controls resting meanwhile.
    void done(int result) override;

    void ShowConnectionControls(int type);

    // What OK would store: the shown values of every list that has a selection, written into
    // `serial` / `midiSettings`; the others are left as they are.
    void ReadShownSerial(CSerialSettings& serial) const;
    void ReadShownMidi(CMIDISettings& midiSettings) const;

private:
    void FillSerialLists();
    CLinkSettings* m_pSettings = nullptr;
    void FillMidiLists();

    QStackedWidget* m_pGroups;
    QList<QWidget*> m_serialGroup;
    QList<QWidget*> m_midiGroup;
    bool m_bClosing = false;  // a close waits for the running test to end
};
