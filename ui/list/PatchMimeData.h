#pragma once
// The data of a program dragged out of the list: the program's text, fetched from the unit
// before the drag began (and checked to be that program's, CLibrarian::FetchProgram), offered as
// a file "<safe name>.sig" in a private temporary folder (a file URL, for file managers) and as
// raw bytes (for other programs). The file is written when a drop target first asks for it;
// nothing here talks to the unit.
//
// GUI thread only (drop targets ask on the GUI thread, inside the drag loop).

#include <QByteArray>
#include <QMimeData>
#include <QString>

class CPatchMimeData : public QMimeData {
    Q_OBJECT
public:
    // `fileName` is the name offered ("<program name>.sig", unchanged); `folder` the private
    // folder where the file is written when asked for; `text` the program's bytes.
    CPatchMimeData(QString fileName, QString folder, QByteArray text);

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

    QString FileName() const { return m_strFileName; }
    // The path of the written file, after the data was asked for (empty before, or on failure).
    QString WrittenPath() const { return m_strWrittenPath; }

    static QString RawFormat() { return QStringLiteral("application/octet-stream"); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    bool WriteFile() const;

    QString m_strFileName;
    QString m_strFolder;
    QByteArray m_text;
    mutable QString m_strWrittenPath;
};
