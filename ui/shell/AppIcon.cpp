#include "ui/shell/AppIcon.h"

#include <QString>

QIcon AppIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/appicon/%1.png").arg(size), QSize(size, size));
    return icon;
}
