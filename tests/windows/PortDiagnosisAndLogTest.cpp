// The Windows parts of the connection check and the log file: what the check says of a COM name
// the system does not know, of a file and of a folder; the refusal of a held port; the log file's
// place; and a log file under a folder whose name is not ASCII (paths are UTF-8 throughout).
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/RotatingLogFile.h"
#include "link/serial/ISerialPort.h"
#include "link/serial/PortDiagnosis.h"
#include "settings/LogFileLocation.h"

namespace {

namespace fs = std::filesystem;

fs::path Utf8Path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

TEST(Win32PortDiagnosis, PathsThatAreNoPortsAreNamedAsWhatTheyAre) {
    // A COM name the system does not know: said so, with the ports it does know.
    const std::string unknown = serial::PortPathProblem("COM199");
    EXPECT_EQ(unknown.rfind("no such port (this computer has ", 0), 0u) << unknown;
    EXPECT_EQ(serial::PortPathProblem("\\\\.\\COM199"), unknown);

    const fs::path folder = fs::temp_directory_path() / "quorlin-diagnosis-test";
    fs::create_directories(folder);
    const fs::path file = folder / "port.txt";
    std::ofstream(file) << "text";
    const struct {
        std::string path;
        std::string problem;
    } cases[] = {
        {file.string(), "a regular file, not a serial port"},
        {folder.string(), "a folder, not a serial port"},
    };
    for (const auto& c : cases) EXPECT_EQ(serial::PortPathProblem(c.path), c.problem) << c.path;
    // A path that does not exist: the system's text, as the port itself would give it.
    const std::string missing = (folder / "nothing-here").string();
    EXPECT_EQ(serial::PortPathProblem(missing), SerialErrorText(ERROR_FILE_NOT_FOUND));
    fs::remove_all(folder);
}

TEST(Win32PortDiagnosis, AHeldPortIsSaidToBeHeldAndOtherReasonsPassUnchanged) {
    EXPECT_EQ(serial::ExplainOpenFailure("COM5", ISerialPort::kHeldByAnother),
              "another program holds the port");
    const std::string other = SerialErrorText(ERROR_GEN_FAILURE);
    EXPECT_EQ(serial::ExplainOpenFailure("COM5", other), other);
}

TEST(Win32LogFile, TheLogLivesInTheLocalApplicationDataFolder) {
    const std::string path = LogFilePath("quorlin-cli");
    EXPECT_NE(path.find("/Brisca/Quorlin/log/quorlin-cli.log"), std::string::npos) << path;
    EXPECT_EQ(path.find('\\'), std::string::npos) << path;
    // Under the folder the system names for local application data.
    wchar_t local[MAX_PATH] = {};
    ASSERT_NE(::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
    EXPECT_EQ(Utf8Path(path).parent_path().parent_path().parent_path().parent_path(),
              fs::path(local));
}

TEST(Win32LogFile, AFolderNameBeyondASCIIIsWrittenAndRotated) {
    const fs::path base = fs::temp_directory_path() / "quorlin-log-test";
    fs::remove_all(base);
    // "Jürgen/Łódź" in UTF-8.
    const std::string path = Utf8(base) + "/J\xC3\xBCrgen/\xC5\x81\xC3\xB3" "d\xC5\xBA/quorlin.log";
    {
        CRotatingLogFile log(path, 16, 1);
        ASSERT_TRUE(log.Ok());
        log.Write("first line");
        log.Write("second line");
    }
    EXPECT_TRUE(fs::exists(Utf8Path(path)));
    EXPECT_TRUE(fs::exists(Utf8Path(path + ".1")));
    std::ifstream in(Utf8Path(path));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "second line");
    in.close();
    fs::remove_all(base);
}

}  // namespace
