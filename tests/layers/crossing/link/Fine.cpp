// Allowed: link/ uses its device classes and port backends.
#include "link/midi/MIDIBackend.h"
#include "link/serial/ISerialPort.h"
#include "settings/SerialSettings.h"
