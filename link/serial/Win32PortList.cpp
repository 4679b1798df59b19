#include "link/serial/Win32PortList.h"

#include <windows.h>

#include "settings/WinText.h"

bool Win32SerialPortKnown(const std::string& comName) {
    wchar_t target[1024];
    return ::QueryDosDeviceW(wintext::Wide(comName).c_str(), target,
                             static_cast<DWORD>(std::size(target))) != 0 ||
           ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

std::vector<std::string> Win32SerialPortNames() {
    // Each name is asked for by itself: the list of all DOS device names leaves out ports that
    // were mapped after the system started (Wine lists only those it found at its start), while
    // asking for one name finds every port that exists now.
    std::vector<std::string> ports;
    for (int number = 1; number <= 256; ++number) {
        const std::string name = "COM" + std::to_string(number);
        if (Win32SerialPortKnown(name)) ports.push_back(name);
    }
    return ports;
}
