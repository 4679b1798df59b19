#include "link/serial/Win32PortList.h"

#include <windows.h>

std::vector<std::string> Win32SerialPortNames() {
    // Each name is asked for by itself: the list of all DOS device names leaves out ports that
    // were mapped after the system started (Wine lists only those it found at its start), while
    // asking for one name finds every port that exists now.
    std::vector<std::string> ports;
    wchar_t target[1024];
    for (int number = 1; number <= 256; ++number) {
        const std::wstring name = L"COM" + std::to_wstring(number);
        if (::QueryDosDeviceW(name.c_str(), target, static_cast<DWORD>(std::size(target))) != 0 ||
            ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            ports.push_back("COM" + std::to_string(number));
        }
    }
    return ports;
}
