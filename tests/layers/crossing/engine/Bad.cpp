// Reaches up into the desktop program, and into Qt.
#include <QString>
#include <string>

#include "link/DeviceLink.h"
#include "ui/view/QuorlinView.h"
