#pragma once
// The data of a program dragged out of the list. Nothing is fetched from the unit until the drop
// target asks for the data: then the loaded program's text is fetched once through the engine
// worker and offered as a file "<safe name>.sig" in a private temporary folder (a file URL, for
// file managers) and as raw bytes (for other programs).
//
// GUI thread only (drop targets ask on the GUI thread, inside the drag loop).

#include <QMimeData>
#include <QString>
#include <optional>

class CEngineWorker;
class CLibrarian;

class CPatchMimeData : public QMimeData {
    Q_OBJECT
public:
    // `fileName` is the name offered ("<program name>.sig", unchanged); `folder` the private
    // folder where the file is written when asked for. The loaded program is fetched from
    // `engine` through `worker`.
    CPatchMimeData(CEngineWorker& worker, CLibrarian& engine, QString fileName, QString folder);

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

    QString FileName() const { return m_strFileName; }
    // The path of the written file, after the data was asked for (empty before, or on failure).
    QString WrittenPath() const { return m_strWrittenPath; }

    static QString RawFormat() { return QStringLiteral("application/octet-stream"); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    // Fetches the program once; false when the unit did not deliver it.
    bool Fetch() const;
    bool WriteFile() const;

    CEngineWorker& m_worker;
    CLibrarian& m_engine;
    QString m_strFileName;
    QString m_strFolder;
    mutable std::optional<QByteArray> m_data;
    mutable bool m_bFetchFailed = false;
    mutable QString m_strWrittenPath;
};
