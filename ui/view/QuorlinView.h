#pragma once
// The one view of the main window: the unit's banks, or the programs of one bank with the patch
// info pane beside them. It owns the librarian engine and runs every engine operation through
// the engine worker, so the window keeps painting while the unit is asked.
//
// GUI thread only.

#include <QIcon>
#include <QList>
#include <QScrollBar>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class CLibrarian;
class CEngineWorker;
class CEntryListCtrl;
class CPatchCommands;
class IHost;

// Image-list positions of the entry icons (resources 130, 131, 136, 140).
enum EntryIcon : int { kIconBank = 0, kIconFactory = 1, kIconLoaded = 2, kIconUser = 3 };

// Layout margins shared by the view, the info pane and the main frame's tracking size.
inline constexpr int kPaneMarginX = 12;
inline constexpr int kPaneMarginY = 9;
inline constexpr int kPaneBoxWidth = 200;
inline constexpr int kPaneColumnWidth = kPaneBoxWidth + 2 * kPaneMarginX;  // 224

class CQuorlinView : public QWidget {
    Q_OBJECT
public:
    using EngineFactory = std::function<std::unique_ptr<CLibrarian>(IHost&)>;

    // Builds the engine (and with it both links, which may ask the user to set up the
    // connection), then reads "Channel", "BankChangeDevice" and "DisplayInfoPane".
    CQuorlinView(CEngineWorker& worker, IHost& host, const EngineFactory& factory,
                 QWidget* parent = nullptr);
    // Destroys the engine, then writes the view's three settings.
    ~CQuorlinView() override;

    // Opens the setup dialog if the serial settings were missing, prepares the list. The caller
    // shows the window and then posts RequestBankList().
    void InitialUpdate();
    // Fetches the bank list once the event loop runs (the window is on screen by then).
    void PostBankListRequest();

    int ShowBanks();
    void ShowPrograms();
    void ActivateSelection();
    bool IsLoadedProgram(int index) const;
    int GetListWidth() const;
    int GetProgramCount() const;
    int RenameBank(int number, const QString& name);

    // Commands.
    void OnBack();
    void OnCommSetup();
    void OnChannel(int channel);  // 0..15
    void OnDsp(int dsp);          // 1 DSP A, 2 DSP B
    void OnTogglePatchInfo();

    // Read access for the frame, the list control and the patch commands.
    int m_nLevel = 0;
    int m_bShowInfoPane = 1;
    int m_nDsp = 1;
    int m_nChannel = 0;
    int m_nCurrentBank = -1;
    int m_nBankIndex = -1;
    struct Loaded {
        int nIndex = -1;
        int nBank = -1;
    };
    Loaded m_loaded[2];
    QString m_strInfo[2];
    QString m_strFind;
    QFont m_hBoldFont;
    QList<QIcon> m_images;

    CLibrarian* Engine() const { return m_pEngine.get(); }
    CEngineWorker& Worker() const { return m_worker; }
    CEntryListCtrl* List() const { return m_list; }
    QScrollBar* PaneScroll() const { return m_paneScroll; }
    QString DocumentTitle() const { return m_strTitle; }
    // The text the info pane shows now.
    QString PaneText() const;
    bool PaneShown() const { return m_bShowInfoPane == 1 && m_nLevel == 1; }

signals:
    void titleChanged(const QString& title);
    // Level, DSP, channel, pane or search text changed: enable rules and check marks follow.
    void stateChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

public:
    void SetDocumentTitle(const QString& title);
    IHost& Host() const { return m_host; }
    CPatchCommands* Commands() const { return m_pCommands; }

private:
    void RecalcLayout();
    void EnsureFrameWidth();
    void DrawInfoPane(QPainter& painter);
    void OnPaneScrollAction(int action);
    void FillBankList(const QStringList& entries);

    CEngineWorker& m_worker;
    IHost& m_host;
    std::unique_ptr<CLibrarian> m_pEngine;
    CPatchCommands* m_pCommands = nullptr;
    CEntryListCtrl* m_list = nullptr;
    QScrollBar* m_paneScroll = nullptr;
    QString m_strTitle;
};
