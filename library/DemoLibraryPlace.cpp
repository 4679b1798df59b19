#include "library/DemoLibraryPlace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "library/ProgramLibrary.h"

namespace library {

CDemoLibraryPlace::CDemoLibraryPlace() {
    if (const char* path = std::getenv(kLibraryPathVariable); path && *path) {
        m_path = path;
        return;
    }
    auto folder =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quorlin-demo-XXXXXX"));
    if (!folder->isValid()) return;
    m_path = QFile::encodeName(folder->filePath(QStringLiteral("library.sqlite"))).toStdString();
    m_pFolder = std::move(folder);
}

CDemoLibraryPlace::~CDemoLibraryPlace() = default;

}  // namespace library
