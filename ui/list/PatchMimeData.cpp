#include "ui/list/PatchMimeData.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include "archive/FileWriter.h"
#include "engine/SafeFileName.h"
#include "ui/core/UnitText.h"

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

}  // namespace

CPatchMimeData::CPatchMimeData(QString fileName, QString folder, QByteArray text)
    : m_strFileName(std::move(fileName)), m_strFolder(std::move(folder)), m_text(std::move(text)) {}

QStringList CPatchMimeData::formats() const {
    return {kUriList, RawFormat()};
}

bool CPatchMimeData::hasFormat(const QString& mimeType) const {
    return mimeType == kUriList || mimeType == RawFormat();
}

bool CPatchMimeData::WriteFile() const {
    if (!m_strWrittenPath.isEmpty()) return true;
    QString name = m_strFileName;
    if (name.endsWith(QLatin1String(".sig"))) name.chop(4);
    // A safe name that fits the file system, written whole (the same rules as a backup's).
    const QString path = QDir(m_strFolder).filePath(FromUtf8(CBackupNamer().Next(ToUtf8(name))));
    std::string error;
    if (!filewriter::WriteFileWhole(ToFilePath(path), m_text.toStdString(),
                                    filewriter::Target::RegularFile, error)) {
        return false;
    }
    m_strWrittenPath = path;
    return true;
}

QVariant CPatchMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
    if (mimeType == RawFormat()) return QVariant(m_text);
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
