// Angle brackets hide neither a layer above nor Qt.
#include <link/DeviceLink.h>
#include <QtCore/qobject.h>
#include <qobject.h>
#include <string>
#include <ui/shell/MainFrame.h>
