#pragma once
// The part of a connection check that concerns the serial port itself, before a byte is sent:
// the path names a terminal device, the port can be opened (and is released again at once), and
// it takes the line settings. Common to every system; the system's own explanations come from
// PortDiagnosis.h.
//
// Called on any thread, with no serial link holding the port at the time (a link of this
// program that holds it would show as "another program").

#include <vector>

#include "link/CheckLine.h"

class CSerialSettings;

namespace serial {

// The findings in order: "port PATH", "open PATH", "line settings". The checks stop at the first
// failure, so the last line is the one that failed; all ok: the port is ready to be used.
std::vector<CheckLine> CheckPort(const CSerialSettings& line);

}  // namespace serial
