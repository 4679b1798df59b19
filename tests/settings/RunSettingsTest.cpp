// The settings of a run on a connection named for it (quorlin --port, quorlin --demo,
// quorlin-cli): which serial line values the run gets, and that none of it reaches the saved
// settings.
#include <gtest/gtest.h>

#include "settings/MemorySettingsStore.h"
#include "settings/RunSettings.h"
#include "settings/SettingsStore.h"

namespace {

struct Line {
    std::int32_t portNumber, baudRate, parity, dataBits, stopBits;
};

Line ReadLine(ISettingsStore& store) {
    auto read = [&store](const char* name) {
        return store.ReadDword(kSectionSerial, name).value_or(-999);
    };
    return {read("PortNumber"), read("BaudRate"), read("Parity"), read("DataBits"),
            read("StopBits")};
}

void ExpectLine(ISettingsStore& store, const Line& expected, const char* what) {
    const Line got = ReadLine(store);
    EXPECT_EQ(got.portNumber, expected.portNumber) << what;
    EXPECT_EQ(got.baudRate, expected.baudRate) << what;
    EXPECT_EQ(got.parity, expected.parity) << what;
    EXPECT_EQ(got.dataBits, expected.dataBits) << what;
    EXPECT_EQ(got.stopBits, expected.stopBits) << what;
}

void SeedSavedLine(CMemorySettingsStore& saved) {
    saved.Seed(kSectionSerial, "PortNumber", std::int64_t{3});
    saved.Seed(kSectionSerial, "BaudRate", std::int64_t{9600});
    saved.Seed(kSectionSerial, "Parity", std::int64_t{'e'});
    saved.Seed(kSectionSerial, "DataBits", std::int64_t{7});
    saved.Seed(kSectionSerial, "StopBits", std::int64_t{1});
    saved.Seed(kSectionSerial, "PortName", std::string("/dev/ttyS0"));
    saved.Seed(kSectionOptions, "DeviceType", std::int64_t{1});
}

const Line kDefaultLine{1, 38400, 'n', 8, 2};
const Line kSavedLine{3, 9600, 'e', 7, 1};

TEST(SerialPortOverlay, TheRunGetsItsDeviceAndLineWhileTheSavedSettingsStayAsTheyWere) {
    struct Case {
        const char* what;
        bool savedLine;  // the saved store holds a full line
        SavedLine use;
        Line expected;
    };
    const Case cases[] = {
        {"--port keeps the saved line", true, SavedLine::Use, kSavedLine},
        {"--port without saved line settings", false, SavedLine::Use, kDefaultLine},
        {"--demo always has the default line", true, SavedLine::Ignore, kDefaultLine},
    };
    for (const Case& c : cases) {
        CMemorySettingsStore saved;
        if (c.savedLine) SeedSavedLine(saved);
        const std::size_t savedCount = saved.Count();
        auto run = SerialPortOverlay(saved, "/dev/pts/7", c.use);

        ExpectLine(*run, c.expected, c.what);
        EXPECT_EQ(run->ReadString(kSectionSerial, "PortName"), "/dev/pts/7") << c.what;
        EXPECT_EQ(run->ReadDword(kSectionOptions, "DeviceType"), 0) << c.what;

        // What the run's settings records save when they go stays with the run.
        run->WriteDword(kSectionSerial, "BaudRate", 19200);
        run->WriteDword(kSectionMIDI, "InputDevice", 4);
        run->WriteDword(kSectionOptions, "DeviceType", 1);
        EXPECT_EQ(saved.Count(), savedCount) << c.what;
        if (c.savedLine) {
            ExpectLine(saved, kSavedLine, c.what);
            EXPECT_EQ(saved.ReadString(kSectionSerial, "PortName"), "/dev/ttyS0") << c.what;
            EXPECT_EQ(saved.ReadDword(kSectionOptions, "DeviceType"), 1) << c.what;
        }
    }
}

TEST(SerialPortOverlay, SettingsOtherThanTheConnectionAreStillSaved) {
    CMemorySettingsStore saved;
    auto run = SerialPortOverlay(saved, "/dev/pts/7", SavedLine::Use);
    run->WriteDword(kSectionOptions, "Channel", 5);
    EXPECT_EQ(saved.ReadDword(kSectionOptions, "Channel"), 5);
}

TEST(PutSerialLine, GivenValuesComeFirstThenSavedOnesThenDefaults) {
    CMemorySettingsStore saved;
    saved.Seed(kSectionSerial, "BaudRate", std::int64_t{9600});
    saved.Seed(kSectionSerial, "DataBits", std::int64_t{7});
    CMemorySettingsStore run;
    SerialLineChoice given;
    given.baudRate = 19200;
    given.parity = 'o';
    PutSerialLine(saved, run, given, SavedLine::Use);
    ExpectLine(run, {1, 19200, 'o', 7, 2}, "given baud and parity, saved data bits");

    CMemorySettingsStore demo;
    PutSerialLine(saved, demo, given, SavedLine::Ignore);
    ExpectLine(demo, {1, 19200, 'o', 8, 2}, "given values still count when the saved are ignored");
}

TEST(PutSerialPort, AnOverlayOfEverySectionKeepsTheWholeRunInMemory) {
    CMemorySettingsStore saved;
    SeedSavedLine(saved);
    COverlaySettingsStore run(saved);
    SerialLineChoice given;
    given.stopBits = 2;
    PutSerialPort(saved, run, "/dev/ttyUSB1", given, SavedLine::Use);

    ExpectLine(run, {3, 9600, 'e', 7, 2}, "the CLI's --serial with --stop 2");
    EXPECT_EQ(run.ReadString(kSectionSerial, "PortName"), "/dev/ttyUSB1");
    EXPECT_EQ(run.ReadDword(kSectionOptions, "DeviceType"), 0);
    ExpectLine(saved, kSavedLine, "the saved line");
    EXPECT_EQ(saved.ReadString(kSectionSerial, "PortName"), "/dev/ttyS0");
    EXPECT_EQ(saved.ReadDword(kSectionOptions, "DeviceType"), 1);
}

}  // namespace
