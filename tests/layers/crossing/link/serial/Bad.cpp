// A port backend reaches up to the link above it.
#include "link/SerialLink.h"
#include "link/serial/ISerialPort.h"
#include "settings/SerialSettings.h"
