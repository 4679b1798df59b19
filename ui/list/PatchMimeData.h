#pragma once
// The data of a program dragged out of the list. Nothing is fetched from the unit until the drop
// target asks for the data: then the program's text is fetched once through the engine worker
// (CLibrarian::FetchProgram: it must carry the name the list gives the program) and offered as a
// file "<safe name>.sig" in a private temporary folder (a file URL, for file managers) and as raw
// bytes (for other programs). When the unit sends another program nothing is offered, and
// Refusal() says why.
//
// GUI thread only (drop targets ask on the GUI thread, inside the drag loop).

#include <QMimeData>
#include <QString>
#include <optional>
#include <string>

class CEngineWorker;
class CLibrarian;

class CPatchMimeData : public QMimeData {
    Q_OBJECT
public:
    // The program dragged: its number and bank, its name as the unit lists it, and the channel
    // its program change goes on.
    struct Program {
        int channel = 0;
        int bank = -1;
        int number = -1;
        std::string listedName;
    };
    // `fileName` is the name offered ("<program name>.sig", unchanged); `folder` the private
    // folder where the file is written when asked for. `program` is fetched from `engine`
    // through `worker`.
    CPatchMimeData(CEngineWorker& worker, CLibrarian& engine, QString fileName, QString folder,
                   Program program);

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

    QString FileName() const { return m_strFileName; }
    // The path of the written file, after the data was asked for (empty before, or on failure).
    QString WrittenPath() const { return m_strWrittenPath; }

    // Why nothing was offered: the unit sent another program (empty otherwise).
    QString Refusal() const { return m_strRefusal; }

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
    Program m_program;
    mutable QString m_strRefusal;
    mutable std::optional<QByteArray> m_data;
    mutable bool m_bFetchFailed = false;
    mutable QString m_strWrittenPath;
};
