#include "link/serial/TermiosLine.h"

#include "settings/SerialSettings.h"

namespace {

struct SpeedEntry {
    int baud;
    speed_t code;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

bool SpeedCode(int baud, speed_t& code) {
    for (const auto& entry : kSpeeds) {
        if (entry.baud == baud) {
            code = entry.code;
            return true;
        }
    }
    return false;
}

#ifdef CMSPAR
constexpr tcflag_t kParityFlags = PARENB | PARODD | CMSPAR;
#else
constexpr tcflag_t kParityFlags = PARENB | PARODD;
#endif
constexpr tcflag_t kLineFlags = kParityFlags | CSIZE | CSTOPB;

}  // namespace

bool ApplyLine(const CSerialSettings& line, termios& tio) {
    termios t = tio;
    speed_t speed{};
    if (!SpeedCode(line.m_nBaudRate, speed)) return false;
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return false;

    t.c_cflag &= ~kLineFlags;
    switch (line.m_cParity) {
        case 'n':
            break;
        case 'e':
            t.c_cflag |= PARENB;
            break;
        case 'o':
            t.c_cflag |= PARENB | PARODD;
            break;
#ifdef CMSPAR
        case 'm':
            t.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case 's':
            t.c_cflag |= PARENB | CMSPAR;
            break;
#endif
        default:
            return false;
    }
    switch (line.m_nDataBits) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        case 8:
            t.c_cflag |= CS8;
            break;
        default:
            return false;
    }
    switch (line.m_nStopBits) {
        case 1:
            break;
        case 2:
            t.c_cflag |= CSTOPB;
            break;
        default:
            return false;
    }
    tio = t;
    return true;
}

bool LineMatches(const termios& wanted, const termios& actual) {
    return cfgetispeed(&wanted) == cfgetispeed(&actual) &&
           cfgetospeed(&wanted) == cfgetospeed(&actual) &&
           (wanted.c_cflag & kLineFlags) == (actual.c_cflag & kLineFlags);
}
