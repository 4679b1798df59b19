#include "settings/LogFileLocation.h"

#include <QDir>
#include <QStandardPaths>

std::string LogFilePath(const std::string& program) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data)
        .filePath(QStringLiteral("Brisca/Quorlin/log/") + QString::fromStdString(program) +
                  QStringLiteral(".log"))
        .toStdString();
}
