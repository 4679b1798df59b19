#include "link/SerialPortCheck.h"

#include "link/SerialLink.h"
#include "link/serial/ISerialPort.h"
#include "link/serial/PortDiagnosis.h"
#include "settings/SerialSettings.h"

namespace serial {

namespace {

// What a usable port is called where the program runs.
#ifdef _WIN32
constexpr const char* kIsAPort = "exists and is a serial port";
constexpr const char* kNotAPort = "a device that is not a serial port";
#else
constexpr const char* kIsAPort = "exists and is a terminal device";
constexpr const char* kNotAPort = "a device that is not a terminal";
#endif

std::string LineText(const CSerialSettings& line) {
    return std::to_string(line.m_nBaudRate) + " baud, parity " + std::string(1, line.m_cParity) +
           ", " + std::to_string(line.m_nDataBits) + " data bits, " +
           std::to_string(line.m_nStopBits) + " stop bits";
}

}  // namespace

std::vector<CheckLine> CheckPort(const CSerialSettings& line) {
    const std::string path = line.PortPath();
    std::vector<CheckLine> lines;
    if (const std::string problem = PortPathProblem(path); !problem.empty()) {
        lines.push_back({false, "port " + path, problem});
        return lines;
    }

    const auto port = MakeSerialPort();
    std::string whyNot;
    if (!port->Open(path, whyNot)) {
        // A character device that is no terminal is found out only by opening it.
        if (whyNot == ISerialPort::kNotATerminal) {
            lines.push_back({false, "port " + path, kNotAPort});
        } else {
            lines.push_back({true, "port " + path, kIsAPort});
            lines.push_back({false, "open " + path, ExplainOpenFailure(path, whyNot)});
        }
        return lines;
    }
    lines.push_back({true, "port " + path, kIsAPort});
    lines.push_back({true, "open " + path, "opened for reading and writing, held exclusively"});

    std::string refused;
    port->Configure(line, CSerialLink::LineDefinition(line),
                    [&refused](const std::string& call, int errorNumber) {
                        if (!refused.empty()) refused += "; ";
                        refused += call + ": " + SerialErrorText(errorNumber);
                    });
    port->Close();
    if (refused.empty())
        lines.push_back({true, "line settings", LineText(line) + " accepted"});
    else
        lines.push_back({false, "line settings", LineText(line) + " refused (" + refused + ")"});
    return lines;
}

}  // namespace serial
