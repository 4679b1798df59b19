// The Win32 serial port: the names it opens, how refusals read, and, when the test run gives it a
// COM name on which quorlin-sim serves the simulated unit (QUORLIN_TEST_COM, set by
// scripts/test-windows.sh), the exclusive open, the line settings, and a query and its reply
// through the monitor's event wait and a wake-up in the middle of it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/Protocol.h"
#include "link/SerialLink.h"
#include "link/serial/Win32PortList.h"
#include "link/serial/Win32SerialPort.h"
#include "settings/SerialSettings.h"

namespace {

// Wine opens a COM port as often as it is asked; Windows refuses a second open.
bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string TestCom() {
    const char* com = std::getenv("QUORLIN_TEST_COM");
    return com ? com : "";
}

struct Reports {
    std::vector<std::string> calls;
    ISerialPort::Report Callback() {
        return [this](const std::string& call, int error) {
            calls.push_back(call + ": " + SerialErrorText(error));
        };
    }
};

TEST(Win32SerialPortNames, ComNamesOpenThroughTheDeviceNamespace) {
    const struct {
        const char* given;
        const char* opened;
    } cases[] = {
        {"COM1", "\\\\.\\COM1"},       {"com5", "\\\\.\\COM5"},
        {"COM10", "\\\\.\\COM10"},     {"COM256", "\\\\.\\COM256"},
        {"\\\\.\\COM7", "\\\\.\\COM7"}, {"\\\\.\\com12", "\\\\.\\COM12"},
        // Not COM names: opened as given.
        {"COM0", "COM0"},              {"COM257", "COM257"},
        {"COM01", "COM01"},            {"COM", "COM"},
        {"COM5x", "COM5x"},            {"C:\\ports\\COM5", "C:\\ports\\COM5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CWin32SerialPort::DeviceName(c.given), c.opened) << c.given;
    }
}

TEST(Win32SerialPortOpen, RefusalsReadAsOnEverySystem) {
    CWin32SerialPort port;
    std::string whyNot;
    // A COM port that does not exist: the system's text, with no line break or full stop.
    EXPECT_FALSE(port.Open("COM199", whyNot));
    EXPECT_FALSE(whyNot.empty());
    EXPECT_EQ(whyNot.find_first_of("\r\n"), std::string::npos) << whyNot;
    EXPECT_NE(whyNot.back(), '.') << whyNot;
    EXPECT_EQ(CSerialLink::OpenFailedText("COM199", whyNot),
              "Error opening serial port COM199 - " + whyNot + ".");

    // A file and a folder are no ports, and the file is left as it was.
    const auto folder = std::filesystem::temp_directory_path() / "quorlin-port-test";
    std::filesystem::create_directories(folder);
    const auto file = folder / "not-a-port.txt";
    std::ofstream(file) << "text";
    EXPECT_FALSE(port.Open(file.string(), whyNot));
    EXPECT_EQ(whyNot, ISerialPort::kNotATerminal);
    EXPECT_FALSE(port.Open(folder.string(), whyNot));
    EXPECT_EQ(whyNot, ISerialPort::kNotATerminal);
    std::ifstream in(file);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "text");
    in.close();
    std::filesystem::remove_all(folder);
    EXPECT_FALSE(port.IsOpen());
}

TEST(Win32SerialPortText, SystemTextsAreFormatMessagesWithoutTheirEnd) {
    for (DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, WAIT_TIMEOUT}) {
        const std::string text = SerialErrorText(static_cast<int>(error));
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_NE(text.back(), '.') << text;
    }
}

class Win32SerialPortOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        if (TestCom().empty()) GTEST_SKIP() << "QUORLIN_TEST_COM names no port served by quorlin-sim";
    }
};

TEST_F(Win32SerialPortOnSim, ThePortListNamesCOMPortsInNumberOrder) {
    const std::vector<std::string> ports = Win32SerialPortNames();
    std::string served = TestCom();
    for (char& c : served) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string listed;
    for (const std::string& port : ports) listed += port + " ";
    EXPECT_NE(std::find(ports.begin(), ports.end(), served), ports.end()) << listed;
    int last = 0;
    for (const std::string& port : ports) {
        ASSERT_EQ(port.rfind("COM", 0), 0u) << port;
        const int number = std::stoi(port.substr(3));
        EXPECT_GT(number, last) << port;
        last = number;
    }
}

TEST_F(Win32SerialPortOnSim, APortIsHeldExclusivelyUntilClosed) {
    if (UnderWine()) GTEST_SKIP() << "Wine does not hold COM ports exclusively";
    CWin32SerialPort first;
    CWin32SerialPort second;
    std::string whyNot;
    ASSERT_TRUE(first.Open(TestCom(), whyNot)) << whyNot;
    EXPECT_FALSE(second.Open(TestCom(), whyNot));
    EXPECT_EQ(whyNot, ISerialPort::kHeldByAnother);
    first.Close();
    EXPECT_TRUE(second.Open(TestCom(), whyNot)) << whyNot;
}

TEST_F(Win32SerialPortOnSim, AQueryIsAnsweredThroughTheEventWaitAndAWakeEndsIt) {
    CWin32SerialPort port;
    std::string whyNot;
    ASSERT_TRUE(port.Open(TestCom(), whyNot)) << whyNot;
    Reports reports;
    CSerialSettings line;  // 38400 8N2, as the simulated unit expects
    line.m_nBaudRate = 38400;
    line.m_cParity = 'n';
    line.m_nDataBits = 8;
    line.m_nStopBits = 2;
    port.Configure(line, CSerialLink::LineDefinition(line), reports.Callback());
    EXPECT_TRUE(reports.calls.empty()) << reports.calls.front();
    port.PurgeInput();

    // A wake from another thread ends a wait on a silent port.
    std::thread waker([&port] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        port.Wake();
    });
    EXPECT_EQ(port.WaitForEvent(reports.Callback()) & ISerialPort::kWoken, ISerialPort::kWoken);
    waker.join();

    // As the link does before every write, while the monitor's event wait is outstanding.
    port.PurgeInput();
    const std::string query = protocol::ObjectQueryText(0, 0);
    const auto frame = protocol::BuildFrame(protocol::MSG_OBJECT_QUERY,
                                            reinterpret_cast<const std::uint8_t*>(query.data()),
                                            static_cast<int>(query.size()));
    ASSERT_TRUE(port.Write(frame.data(), static_cast<int>(frame.size()), [] { return false; },
                           reports.Callback()));
    // The whole reply frame arrives, in as many reads as the driver hands it over in.
    std::string reply;
    while (reply.empty() || static_cast<std::uint8_t>(reply.back()) != 0xF7) {
        const unsigned events = port.WaitForEvent(reports.Callback());
        ASSERT_EQ(events & ISerialPort::kFailed, 0u) << reports.calls.back();
        if ((events & ISerialPort::kReadable) == 0) continue;
        std::uint8_t buffer[4096];
        const int got = port.Read(buffer, sizeof buffer, reports.Callback());
        ASSERT_NE(got, ISerialPort::kPortGone);
        reply.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(got));
    }
    EXPECT_EQ(static_cast<std::uint8_t>(reply.front()), 0xF0);
    EXPECT_NE(protocol::ReplyText(reply).find("program functions"), std::string::npos)
        << protocol::ReplyText(reply);
    EXPECT_TRUE(reports.calls.empty()) << reports.calls.front();
    EXPECT_FALSE(port.PortGone());
}

}  // namespace
