// The MIDI device classes reach into the serial backends.
#include "link/midi/MIDIInDevice.h"
#include "link/serial/BaudRates.h"
