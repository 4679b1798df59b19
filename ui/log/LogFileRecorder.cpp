#include "ui/log/LogFileRecorder.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>

#include "engine/RotatingLogFile.h"
#include "engine/TraceWriter.h"
#include "link/LinkTap.h"
#include "settings/LogFileLocation.h"
#include "settings/SettingsStore.h"
#include "ui/core/UnitText.h"

namespace {

QtMessageHandler g_previousHandler = nullptr;

// The line as the file keeps it: the local date and time it was written, then the line.
std::string Stamped(const std::string& line) {
    return QDateTime::currentDateTime()
               .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
               .toStdString() +
           "\t" + line;
}

void RecordQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    static constexpr const char* kKinds[] = {"debug", "warning", "critical", "fatal", "info"};
    const int kind = static_cast<int>(type);
    CLogFileRecorder::Instance().Message(std::string(kind >= 0 && kind < 5 ? kKinds[kind] : "qt") +
                                         ": " + text.toStdString());
    if (g_previousHandler != nullptr) g_previousHandler(type, context, text);
}

}  // namespace

CLogFileRecorder& CLogFileRecorder::Instance() {
    static CLogFileRecorder recorder;
    return recorder;
}

QString CLogFileRecorder::Path() {
    return FromFilePath(LogFilePath("quorlin"));
}

bool CLogFileRecorder::Wanted() {
    std::uint32_t missing = 0;
    return ReadSettingDword(kSectionOptions, kVerboseLogValue, 0, missing) != 0;
}

bool CLogFileRecorder::Running() const {
    std::lock_guard lock(m_mutex);
    return m_pFile != nullptr;
}

bool CLogFileRecorder::Start() {
    if (Running()) return true;
    auto file = std::make_shared<CRotatingLogFile>(ToFilePath(Path()));
    if (!file->Ok()) return false;
    {
        std::lock_guard lock(m_mutex);
        m_pFile = file;
        m_pWriter = std::make_unique<CTraceWriter>(
            [file](const std::string& line) { file->Write(Stamped(line)); }, m_start);
    }
    Write("--", "quorlin started recording");
    CLinkTap::Shared()->AddObserver(m_pWriter.get());
    g_previousHandler = qInstallMessageHandler(RecordQtMessage);
    return true;
}

void CLogFileRecorder::Stop() {
    if (!Running()) return;
    qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
    CLinkTap::Shared()->RemoveObserver(m_pWriter.get());
    Write("--", "quorlin stopped recording");
    std::lock_guard lock(m_mutex);
    m_pWriter.reset();
    m_pFile.reset();
}

void CLogFileRecorder::Message(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    Write("--", "message: " + line);
}

void CLogFileRecorder::Write(const std::string& kind, const std::string& text) {
    std::shared_ptr<CRotatingLogFile> file;
    {
        std::lock_guard lock(m_mutex);
        file = m_pFile;
    }
    if (file)
        file->Write(Stamped(CTraceWriter::Milliseconds(std::chrono::steady_clock::now(), m_start) +
                            "\t" + kind + "\t" + text));
}

QAction* CLogFileRecorder::CreateToggle(QObject* parent) {
    auto* action =
        new QAction(QCoreApplication::translate("CLogFileRecorder", "Keep a &Log File"), parent);
    action->setObjectName(QStringLiteral("KeepLogFile"));
    action->setStatusTip(QCoreApplication::translate(
        "CLogFileRecorder",
        "Record the traffic with the unit and the program's messages in a log file"));
    action->setCheckable(true);
    action->setChecked(Instance().Running());
    QObject::connect(action, &QAction::toggled, action, [action](bool on) {
        WriteSettingDword(kSectionOptions, kVerboseLogValue, on ? 1 : 0);
        if (on && !Instance().Start()) action->setChecked(false);
        if (!on) Instance().Stop();
    });
    return action;
}
