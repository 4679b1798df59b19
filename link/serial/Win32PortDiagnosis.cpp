// Why a serial port cannot be used, on Windows. A COM name is looked up among the system's DOS
// device names (Win32PortList.h) without opening it; any other path is looked at with its file
// attributes. Windows does not say which program holds a COM port.
#include <windows.h>

#include <string>
#include <vector>

#include "link/serial/ISerialPort.h"
#include "link/serial/PortDiagnosis.h"
#include "link/serial/Win32PortList.h"
#include "link/serial/Win32SerialPort.h"
#include "settings/WinText.h"

namespace serial {

namespace {

using wintext::Wide;

// "COM5" for "COM5", "com5" and "\\.\COM5"; empty for anything that is no COM name.
std::string ComName(const std::string& path) {
    const std::string device = CWin32SerialPort::DeviceName(path);
    const std::string prefix = "\\\\.\\COM";
    return device.rfind(prefix, 0) == 0 ? device.substr(4) : std::string();
}

std::string KnownPorts() {
    const std::vector<std::string> ports = Win32SerialPortNames();
    if (ports.empty()) return "this computer has no serial port";
    std::string text = "this computer has ";
    for (std::size_t i = 0; i < ports.size(); ++i) text += (i ? ", " : "") + ports[i];
    return text;
}

}  // namespace

std::string PortPathProblem(const std::string& path) {
    if (const std::string com = ComName(path); !com.empty())
        return Win32SerialPortKnown(com) ? std::string() : "no such port (" + KnownPorts() + ")";
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        // Devices have no attributes to give; only a missing path is a problem here.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_NAME)
            return SerialErrorText(static_cast<int>(error));
        return {};
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "a folder, not a serial port";
    return "a regular file, not a serial port";
}

std::string ExplainOpenFailure(const std::string&, const std::string& whyNot) {
    if (whyNot == ISerialPort::kHeldByAnother) return "another program holds the port";
    return whyNot;
}

}  // namespace serial
