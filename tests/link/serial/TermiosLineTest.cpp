// The termios form of the line settings. (Pseudo-terminals keep 8 data bits and no parity
// whatever they are given, so these flags are checked here rather than on a port.)

#include <gtest/gtest.h>

#include "link/serial/TermiosLine.h"
#include "settings/SerialSettings.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

struct LineValues {
    int baud;
    char parity;
    int dataBits;
    int stopBits;
};

// Applies `values` through a settings record, as the port does.
bool Apply(const LineValues& values, termios& tio) {
    CScopedSettingsStore store;  // the record saves itself when destroyed
    CSerialSettings line;
    line.m_nBaudRate = values.baud;
    line.m_cParity = values.parity;
    line.m_nDataBits = values.dataBits;
    line.m_nStopBits = values.stopBits;
    return ApplyLine(line, tio);
}

}  // namespace

TEST(TermiosLine, EveryOfferedCombinationHasItsFlags) {
    struct Parity {
        char letter;
        tcflag_t flags;
    };
    const Parity parities[] = {{'n', 0}, {'e', PARENB}, {'o', PARENB | PARODD}};
    for (const Parity& parity : parities) {
        for (int dataBits : {7, 8}) {
            for (int stopBits : {1, 2}) {
                SCOPED_TRACE(std::string(1, parity.letter) + std::to_string(dataBits) +
                             std::to_string(stopBits));
                termios tio{};
                tio.c_cflag = PARENB | PARODD | CSIZE | CSTOPB;  // all must be set afresh
                ASSERT_TRUE(Apply({38400, parity.letter, dataBits, stopBits}, tio));
                EXPECT_EQ(cfgetospeed(&tio), B38400);
                EXPECT_EQ(cfgetispeed(&tio), B38400);
                EXPECT_EQ(tio.c_cflag & (PARENB | PARODD), parity.flags);
                EXPECT_EQ(tio.c_cflag & CSIZE, dataBits == 7 ? CS7 : CS8);
                EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, stopBits == 2);

                termios same = tio;
                EXPECT_TRUE(LineMatches(tio, same));
                same.c_cflag ^= CSTOPB;
                EXPECT_FALSE(LineMatches(tio, same));
            }
        }
    }
}

TEST(TermiosLine, ValuesWithoutATermiosFormAreRefusedAndChangeNothing) {
    const LineValues refused[] = {
        {0, 'n', 8, 2},     {-9600, 'n', 8, 2},  {12345, 'n', 8, 2}, {38400, 'x', 8, 2},
        {38400, 'N', 8, 2}, {38400, '\0', 8, 2}, {38400, 'n', 9, 2}, {38400, 'n', 4, 2},
        {38400, 'n', 8, 0}, {38400, 'n', 8, 3},
    };
    for (const LineValues& line : refused) {
        SCOPED_TRACE(std::to_string(line.baud) + line.parity + std::to_string(line.dataBits) +
                     std::to_string(line.stopBits));
        termios tio{};
        cfsetospeed(&tio, B1200);
        tio.c_cflag |= CS6;
        const termios before = tio;
        EXPECT_FALSE(Apply(line, tio));
        EXPECT_EQ(tio.c_cflag, before.c_cflag);
        EXPECT_EQ(cfgetospeed(&tio), B1200);
    }
}
