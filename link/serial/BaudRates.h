#pragma once
// The line speeds the serial link offers: the ones every backend can set on a port (the POSIX
// port through its termios speed codes; a Windows port takes them all as well). The setup dialog
// shows these and the command-line tool accepts only these, so a speed is never chosen that the
// port would then refuse when it is opened.

#include <algorithm>
#include <array>
#include <span>

namespace serial {

inline constexpr std::array<int, 7> kSupportedBaudRates = {2400,  4800,  9600,  19200,
                                                           38400, 57600, 115200};

inline std::span<const int> SupportedBaudRates() {
    return kSupportedBaudRates;
}

inline bool IsSupportedBaudRate(int baud) {
    return std::find(kSupportedBaudRates.begin(), kSupportedBaudRates.end(), baud) !=
           kSupportedBaudRates.end();
}

}  // namespace serial
