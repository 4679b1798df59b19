// The command line of quorlin-cli: what each valid line reads as, and the lines that are usage
// errors.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliOptions.h"
#include "engine/NameTable.h"
#include "link/serial/BaudRates.h"

namespace {

using Conn = CliOptions::Connection;
using Cmd = CliOptions::Command;

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string Describe(const CliOptions& o) {
    std::ostringstream d;
    d << "conn=" << static_cast<int>(o.connection) << " cmd=" << static_cast<int>(o.command)
      << " bank=" << o.bank << " program=" << o.program << " path=" << o.path << " text=" << o.text;
    if (o.connection == Conn::Serial) {
        d << " serial=" << o.serialPath << " baud=" << o.baudRate.value_or(-1)
          << " parity=" << o.parity.value_or('-') << " data=" << o.dataBits.value_or(-1)
          << " stop=" << o.stopBits.value_or(-1);
    }
    if (o.connection == Conn::MIDI) d << " in=" << o.midiIn << " out=" << o.midiOut;
    d << " dsp=" << o.dsp.value_or(-1) << " channel=" << o.channel.value_or(-1);
    if (o.command == Cmd::Restore) {
        d << " banks=";
        for (int n : o.banks) d << n << ",";
        d << " dry=" << o.dryRun;
    }
    return d.str();
}

struct ValidCase {
    std::vector<std::string> args;
    std::string expected;  // Describe() of the result
};

TEST(CliOptionsTest, ValidLinesReadAsExpected) {
    const ValidCase cases[] = {
        {Split("banks"), "conn=0 cmd=0 bank=-1 program=-1 path= text= dsp=-1 channel=-1"},
        {Split("programs 3"), "conn=0 cmd=1 bank=3 program=-1 path= text= dsp=-1 channel=-1"},
        {Split("info 0 127"), "conn=0 cmd=2 bank=0 program=127 path= text= dsp=-1 channel=-1"},
        {Split("load 99 a.sig"),
         "conn=0 cmd=3 bank=99 program=-1 path=a.sig text= dsp=-1 channel=-1"},
        {Split("backup 07 /tmp/x"),
         "conn=0 cmd=4 bank=7 program=-1 path=/tmp/x text= dsp=-1 channel=-1"},
        {Split("fetch 1 2 out.sig"),
         "conn=0 cmd=5 bank=1 program=2 path=out.sig text= dsp=-1 channel=-1"},
        {Split("delete 10 3"), "conn=0 cmd=6 bank=10 program=3 path= text= dsp=-1 channel=-1"},
        {Split("delete-bank 20"), "conn=0 cmd=7 bank=20 program=-1 path= text= dsp=-1 channel=-1"},
        {{"name-bank", "7", "My Bank"},
         "conn=0 cmd=8 bank=7 program=-1 path= text=My Bank dsp=-1 channel=-1"},
        {{"find", "Big Hall"},
         "conn=0 cmd=9 bank=-1 program=-1 path= text=Big Hall dsp=-1 channel=-1"},
        // After the command word everything is an argument, even what looks like an option.
        {Split("find --demo"),
         "conn=0 cmd=9 bank=-1 program=-1 path= text=--demo dsp=-1 channel=-1"},
        {Split("--serial /dev/ttyUSB0 banks"),
         "conn=1 cmd=0 bank=-1 program=-1 path= text= serial=/dev/ttyUSB0 baud=-1 parity=- "
         "data=-1 stop=-1 dsp=-1 channel=-1"},
        {Split("--serial /dev/ttyS1 --baud 9600 --parity e --data 7 --stop 1 banks"),
         "conn=1 cmd=0 bank=-1 program=-1 path= text= serial=/dev/ttyS1 baud=9600 parity=e "
         "data=7 stop=1 dsp=-1 channel=-1"},
        // Line options may come before --serial.
        {Split("--parity o --serial p banks"),
         "conn=1 cmd=0 bank=-1 program=-1 path= text= serial=p baud=-1 parity=o data=-1 stop=-1 "
         "dsp=-1 channel=-1"},
        {Split("--midi-in 2 --midi-out 0 banks"),
         "conn=2 cmd=0 bank=-1 program=-1 path= text= in=2 out=0 dsp=-1 channel=-1"},
        {Split("--demo --dsp B --channel 16 banks"),
         "conn=3 cmd=0 bank=-1 program=-1 path= text= dsp=2 channel=15"},
        {Split("--dsp A --channel 1 banks"),
         "conn=0 cmd=0 bank=-1 program=-1 path= text= dsp=1 channel=0"},
        {Split("backup-unit /tmp/b"),
         "conn=0 cmd=10 bank=-1 program=-1 path=/tmp/b text= dsp=-1 channel=-1"},
        {Split("verify b"), "conn=0 cmd=11 bank=-1 program=-1 path=b text= dsp=-1 channel=-1"},
        {Split("restore b"),
         "conn=0 cmd=12 bank=-1 program=-1 path=b text= dsp=-1 channel=-1 banks= dry=0"},
        {Split("--demo restore b --bank 3 --dry-run --bank 07"),
         "conn=3 cmd=12 bank=-1 program=-1 path=b text= dsp=-1 channel=-1 banks=3,7, dry=1"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto o = CliOptions::Parse(c.args, error);
        ASSERT_TRUE(o.has_value()) << ::testing::PrintToString(c.args) << ": " << error;
        EXPECT_EQ(Describe(*o), c.expected) << ::testing::PrintToString(c.args);
    }
}

TEST(CliOptionsTest, UsageErrorsAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> cases = {
        {},                                                  // no command
        Split("--demo"),                                     // no command after the options
        Split("list"),                                       // unknown command
        Split("banks extra"),                                // extra argument
        Split("programs"),                                   // missing argument
        Split("info 1"),                                     //
        Split("fetch 1 2"),                                  //
        Split("name-bank 7"),                                //
        Split("programs x"),                                 // not a number
        Split("programs -1"),                                //
        Split("programs +3"),                                //
        Split("programs 100"),                               // bank out of range
        Split("info 1 128"),                                 // program out of range
        Split("delete 1 2x"),                                //
        {"find", ""},                                        // empty search
        {"load", "1", ""},                                   // empty path
        {"name-bank", "7", "Tab\there"},                     // a character the unit cannot enter
        {"name-bank", "7", "Caf\xE9"},                       //
        {"name-bank", "7", ""},                              // no name
        {"name-bank", "7", "   "},                           // blanks only
        Split("--channel 0 banks"),                          // channel out of range
        Split("--channel 17 banks"),                         //
        Split("--channel x banks"),                          //
        Split("--dsp C banks"),                              // no such DSP
        Split("--dsp a banks"),                              //
        Split("--serial"),                                   // option without its value
        Split("--channel"),                                  //
        Split("--bogus banks"),                              // unknown option
        Split("--serial p --midi-in 1 --midi-out 2 banks"),  // two connections
        Split("--serial p --demo banks"),                    //
        Split("--demo --midi-in 1 --midi-out 2 banks"),      //
        Split("--midi-in 1 banks"),                          // half a MIDI connection
        Split("--midi-out 1 banks"),                         //
        Split("--baud 9600 banks"),                          // line settings without --serial
        Split("--midi-in 1 --midi-out 1 --stop 2 banks"),    //
        Split("--serial p --baud 0 banks"),                  // bad line settings
        Split("--serial p --baud fast banks"),               //
        Split("--serial p --baud 76800 banks"),              // a speed the port cannot set
        Split("--serial p --baud 12345 banks"),              //
        Split("--serial p --baud 230400 banks"),             // a speed the link does not offer
        Split("--serial p --parity x banks"),                //
        Split("--serial p --data 6 banks"),                  //
        Split("--serial p --stop 3 banks"),                  //
        Split("--demo --demo banks"),                        // given twice
        Split("--channel 2 --channel 3 banks"),              //
        {"--serial", "", "banks"},                           // empty device path
        Split("backup-unit"),                                // whole-unit commands: no folder
        Split("verify"),                                     //
        Split("restore"),                                    //
        {"verify", ""},                                      //
        Split("backup-unit a b"),                            // extra argument
        Split("verify a --dry-run"),                         //
        Split("restore b extra"),                            //
        Split("restore b --bank"),                           // --bank without its number
        Split("restore b --bank 100"),                       //
        Split("restore b --bank x"),                         //
        Split("restore b --dry-run --dry-run"),              // given twice
    };
    for (const auto& args : cases) {
        std::string error;
        EXPECT_FALSE(CliOptions::Parse(args, error).has_value()) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty()) << ::testing::PrintToString(args);
    }
}

}  // namespace

namespace {

// --baud takes exactly the serial link's speeds; any other is a usage error naming them.
TEST(CliOptionsTest, BaudRatesAreTheSerialLinksOnly) {
    for (const int baud : serial::SupportedBaudRates()) {
        std::string error;
        const auto o =
            CliOptions::Parse({"--serial", "p", "--baud", std::to_string(baud), "banks"}, error);
        ASSERT_TRUE(o.has_value()) << baud << ": " << error;
        EXPECT_EQ(o->baudRate, baud);
    }
    std::string error;
    EXPECT_FALSE(CliOptions::Parse(Split("--serial p --baud 76800 banks"), error).has_value());
    EXPECT_EQ(error, "--baud takes one of 2400 4800 9600 19200 38400 57600 115200, not \"76800\"");
}

}  // namespace

namespace {

// --help and --version among the options answer at once, whatever else the line holds; after
// the command word they are arguments like any other.
TEST(CliOptionsTest, HelpAndVersionAnswerBeforeTheCommand) {
    struct Case {
        std::vector<std::string> args;
        bool help;
        bool version;
    };
    const Case cases[] = {
        {Split("--help"), true, false},
        {Split("-h"), true, false},
        {Split("--version"), false, true},
        {Split("--demo --help banks extra"), true, false},
        {Split("--version programs"), false, true},
        {Split("find --help"), false, false},
        {Split("banks"), false, false},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto o = CliOptions::Parse(c.args, error);
        ASSERT_TRUE(o.has_value()) << ::testing::PrintToString(c.args) << ": " << error;
        EXPECT_EQ(o->help, c.help) << ::testing::PrintToString(c.args);
        EXPECT_EQ(o->version, c.version) << ::testing::PrintToString(c.args);
    }
}

// The help is written by hand in the manual page's source: its bank name limit must be the one
// the parser enforces.
TEST(CliOptionsTest, HelpStatesTheBankNameLimitThatIsEnforced) {
    const std::string help = CliOptions::Usage();
    const std::string stated = "NAME: at most " + std::to_string(nametable::kMaxNameLength);
    const auto at = help.find(stated);
    ASSERT_NE(at, std::string::npos) << help;
    const auto after = at + stated.size();
    EXPECT_TRUE(after == help.size() || help[after] < '0' || help[after] > '9') << help;
}

}  // namespace
