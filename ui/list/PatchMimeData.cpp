#include "ui/list/PatchMimeData.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include "archive/FileWriter.h"
#include "engine/Librarian.h"
#include "engine/SafeFileName.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/UnitText.h"

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

}  // namespace

CPatchMimeData::CPatchMimeData(CEngineWorker& worker, CLibrarian& engine, QString fileName,
                               QString folder, Program program)
    : m_worker(worker),
      m_engine(engine),
      m_strFileName(std::move(fileName)),
      m_strFolder(std::move(folder)),
      m_program(std::move(program)) {}

QStringList CPatchMimeData::formats() const {
    return {kUriList, RawFormat()};
}

bool CPatchMimeData::hasFormat(const QString& mimeType) const {
    return mimeType == kUriList || mimeType == RawFormat();
}

bool CPatchMimeData::Fetch() const {
    if (m_data) return true;
    if (m_bFetchFailed) return false;
    CLibrarian& engine = m_engine;
    const Program& p = m_program;
    const ProgramFetch fetch = m_worker.Run(tr("Fetching %1…").arg(m_strFileName), [&engine, &p] {
        return engine.FetchProgram(p.channel, p.number, p.listedName);
    });
    if (!fetch.Fetched()) {
        m_bFetchFailed = true;
        if (fetch.status == ProgramFetch::Status::WrongProgram) {
            // Another program's text is never offered under this program's name.
            m_strRefusal =
                tr("Cannot drag out program %1 of bank %2: the unit sent \"%3\" "
                   "instead of \"%4\".")
                    .arg(p.number)
                    .arg(p.bank)
                    .arg(FromUtf8(fetch.sentName), WithoutTrailingBlanks(FromUtf8(p.listedName)));
        }
        return false;
    }
    m_data = QByteArray(fetch.text.data(), static_cast<qsizetype>(fetch.text.size()));
    return true;
}

bool CPatchMimeData::WriteFile() const {
    if (!m_strWrittenPath.isEmpty()) return true;
    if (!Fetch()) return false;
    QString name = m_strFileName;
    if (name.endsWith(QLatin1String(".sig"))) name.chop(4);
    // A safe name that fits the file system, written whole (the same rules as a backup's).
    const QString path = QDir(m_strFolder).filePath(FromUtf8(CBackupNamer().Next(ToUtf8(name))));
    std::string error;
    if (!filewriter::WriteFileWhole(ToFilePath(path), m_data->toStdString(),
                                    filewriter::Target::RegularFile, error)) {
        return false;
    }
    m_strWrittenPath = path;
    return true;
}

QVariant CPatchMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
    if (mimeType == RawFormat()) {
        return Fetch() ? QVariant(*m_data) : QVariant();
    }
    if (mimeType == kUriList) {
        if (!WriteFile()) return {};
        const QUrl url = QUrl::fromLocalFile(m_strWrittenPath);
        if (type.id() == QMetaType::QVariantList || type.id() == QMetaType::QUrl) {
            return QVariant(QList<QVariant>{url});
        }
        return QVariant(url.toEncoded() + "\r\n");
    }
    return {};
}
