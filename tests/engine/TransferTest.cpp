// Program load from ".sig" files, the completion probe, and fetching the loaded program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/Protocol.h"
#include "tests/engine/EngineFixture.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
const std::string kNoCommunication =
    "Unable to communicate with the unit.  Check your communication settings.";

std::string KeyLine(KeyPattern key) {
    const auto frame = protocol::BuildFrame(protocol::MSG_KEY, kKeyPatterns[key].data(), 8);
    return "send " + Hex(frame.data(), static_cast<int>(frame.size()));
}

class TransferTest : public EngineTest {
public:
    TransferTest() {
        m_dir = fs::temp_directory_path() /
                ("quorlin-transfer-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    ~TransferTest() override { fs::remove_all(m_dir); }

    std::string WriteFile(const std::string& name, const std::string& content) {
        const auto path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string Dir() const { return m_dir.string(); }

private:
    fs::path m_dir;
};

TEST_F(TransferTest, LoadSendsTheFileAndConfirmsWithFourKeys) {
    tree.objects["0 0"] += "OBJ 0 99 0 'My Patch'\n";  // the unit lists the new program
    // 0xE9: one of the unit's 8-bit characters, which travel over the serial link.
    const std::string content = "PROGRAM \"My Patch\" \"other\"\n\x01\x02\xE9 body";
    const auto path = WriteFile("p.sig", content);

    ASSERT_EQ(Engine().LoadPatchFile(path), 0);
    const int frameSize = static_cast<int>(content.size()) + 6;
    EXPECT_EQ(transcript, (Lines{"open " + std::to_string(frameSize),
                                 "poll " + std::to_string(frameSize) + " bytes, name 'My Patch'",
                                 QueryLine("0 0"), KeyLine(KEY_C3R3), "pause 500",
                                 KeyLine(KEY_C1R3), "pause 500", KeyLine(KEY_C3R2), "pause 500",
                                 KeyLine(KEY_C6R0), "pause 500", "close"}));
    EXPECT_EQ(serial->lastPollFrame, std::string("\xF0\x1C\x70\x00\x0A", 5) + content + "\xF7");
    EXPECT_EQ(serial->firstWaitAtWait, std::vector<int>{2000});  // the probe's short first wait
    EXPECT_EQ(serial->firstWaitMs, 5000);
    EXPECT_TRUE(host.Messages().empty());
    ExpectBracketHeld(*serial);
}

TEST_F(TransferTest, KeysConfirmingTheLoadStopWhenTheUnitIsGone) {
    tree.objects["0 0"] += "OBJ 0 99 0 'My Patch'\n";
    const auto path = WriteFile("p.sig", "PROGRAM \"My Patch\"");
    Engine();
    serial->goneAfterSends = 2;
    EXPECT_EQ(Engine().LoadPatchFile(path), -2);
    EXPECT_EQ(serial->sendCount, 2);
    EXPECT_EQ(transcript.back(), "close");
    EXPECT_EQ(transcript[transcript.size() - 2], KeyLine(KEY_C1R3));
    EXPECT_EQ(host.MessageTexts(), Lines{kNoCommunication});
    ExpectBracketHeld(*serial);
}

TEST_F(TransferTest, ExtensionIsCheckedWithoutRegardToCase) {
    struct Case {
        std::string name;
        bool accepted;
    } cases[] = {{"a.sig", true},      {"b.SIG", true}, {"c.SiG", true},
                 {"d.sig.bak", false}, {"sig", false},  {"e.txt", false}};
    for (const auto& c : cases) {
        transcript.clear();
        host.Clear();
        const auto path = WriteFile(c.name, "\"DSP A\"");
        const int r = Engine().LoadPatchFile(path);
        if (c.accepted) {
            EXPECT_EQ(r, 0) << c.name;
            EXPECT_TRUE(host.Messages().empty()) << c.name;
        } else {
            EXPECT_EQ(r, -2) << c.name;
            EXPECT_EQ(host.MessageTexts(), Lines{"Only .sig files are currently supported"});
            EXPECT_TRUE(transcript.empty()) << c.name;
        }
    }
    host.Clear();
    EXPECT_EQ(Engine().LoadPatchFile(".s"), -2);
    EXPECT_EQ(host.MessageTexts(), Lines{"Only .sig files are currently supported"});
}

TEST_F(TransferTest, UnreadableOrOversizedFileNeverOpensTheLink) {
    fs::create_directories(Dir() + "/folder.sig");
    const std::string big(CLibrarian::kMaxPatchFileSize + 1, 'x');
    const std::string bigPath = WriteFile("big.sig", big);
    const std::string emptyPath = WriteFile("empty.sig", "");
    struct Case {
        std::string path;
        std::string messageStart;
    } cases[] = {
        {Dir() + "/missing.sig", "Cannot read the patch file \"" + Dir() + "/missing.sig\": "},
        {Dir() + "/folder.sig", "Cannot read the patch file \"" + Dir() + "/folder.sig\": "},
        {bigPath, "The patch file \"" + bigPath + "\" is too large (1048571 bytes)."},
        // Files that hold no program: nothing the unit could store.
        {emptyPath, "The patch file \"" + emptyPath +
                        "\" is empty (0 bytes): it holds no program. Choose a .sig file saved "
                        "from the unit."},
    };
    for (const char* content : {"no quotes at all", "one \" quote", "\"\" empty name"}) {
        const std::string path = WriteFile("nameless.sig", content);
        host.Clear();
        EXPECT_EQ(Engine().LoadPatchFile(path), -2) << content;
        EXPECT_EQ(host.MessageTexts(),
                  Lines{"The patch file \"" + path +
                        "\" holds no program name (a name between double quotes): it is not a "
                        "program of the unit. Choose a .sig file saved from the unit."})
            << content;
    }
    for (const auto& c : cases) {
        host.Clear();
        EXPECT_EQ(Engine().LoadPatchFile(c.path), -2) << c.path;
        const auto messages = host.MessageTexts();
        ASSERT_EQ(messages.size(), 1u) << c.path;
        EXPECT_EQ(messages[0].rfind(c.messageStart, 0), 0u) << messages[0];
    }
    EXPECT_EQ(serial->openCount, 0);
    EXPECT_TRUE(transcript.empty());
}

TEST_F(TransferTest, FileOfExactlyTheLimitIsSent) {
    // Its load frame is the longest frame the unit takes: 1 MiB, end byte included.
    tree.objects["0 0"] += "OBJ 0 99 0 'Max'\n";  // the unit lists the new program
    const auto path =
        WriteFile("max.sig", "\"Max\"" + std::string(CLibrarian::kMaxPatchFileSize - 5, 'x'));
    EXPECT_EQ(Engine().LoadPatchFile(path), 0);
    EXPECT_EQ(serial->lastOpenSize, 1048576);
}

TEST_F(TransferTest, PatchNameAndFrameSize) {
    struct Case {
        std::string content;
        std::string name;
    } cases[] = {
        {"\"My Patch\" x \"y\"", "My Patch"},
        {"\"N\"", "N"},
        {std::string(497, 'a') + "\"N\"" + std::string(500, 'b'), "N"},
    };
    tree.objects["0 0"] += "OBJ 0 98 0 'My Patch'\nOBJ 0 99 0 'N'\n";
    for (const auto& c : cases) {
        transcript.clear();
        const auto path = WriteFile("n.sig", c.content);
        ASSERT_EQ(Engine().LoadPatchFile(path), 0) << c.content;  // the root listing is not empty
        EXPECT_EQ(serial->probeNames.back(), c.name);
        // Never less than the key frames (14 bytes) that confirm the load.
        EXPECT_EQ(serial->lastOpenSize, std::max(static_cast<int>(c.content.size()) + 6, 14));
    }
    EXPECT_EQ(serial->lastOpenSize, 1006);  // a 1000-byte file
}

TEST_F(TransferTest, LoadFailures) {
    const auto path = WriteFile("f.sig", "\"Name\"");
    struct Case {
        const char* what;
        std::function<void(TransferTest&)> arrange;
        Lines messages;
        Lines tail;
    } cases[] = {
        {"unit reports an error (serial)",
         [](TransferTest& t) {
             t.serial->pollReply = std::string(
                 "\xF0\x1C\x70\x00"
                 "Bad patch",
                 13);
         },
         {"Error loading patch :\n\nBad patch"},
         {"close"}},
        {"unit reports an error (MIDI, end byte kept)",
         [](TransferTest& t) {
             t.serial->pollReply = std::string(
                 "\xF0\x1C\x70\x00"
                 "No room\xF7",
                 12);
         },
         {"Error loading patch :\n\nNo room"},
         {"close"}},
        {"no answer and the program never shows",
         [](TransferTest& t) { t.serial->pollProbes = 11; },
         {kNoCommunication},
         {"close"}},
    };
    for (const auto& c : cases) {
        DestroyEngine();
        transcript.clear();
        host.Clear();
        Engine();
        c.arrange(*this);
        EXPECT_EQ(Engine().LoadPatchFile(path), -2) << c.what;
        EXPECT_EQ(host.MessageTexts(), c.messages) << c.what;
        EXPECT_EQ(transcript.back(), "close") << c.what;
        for (const auto& line : transcript)
            EXPECT_EQ(line.find("send "), std::string::npos) << c.what << ": no keys pressed";
        ExpectBracketHeld(*serial);
    }
    EXPECT_EQ(serial->probeNames.size(), 11u);

    DestroyEngine();
    host.Clear();
    Engine();
    serial->openResult = -2;
    EXPECT_EQ(Engine().LoadPatchFile(path), -2);
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(EngineTest, ProbeCompletionLooksForTheNameInTheRoot) {
    EXPECT_EQ(Engine().ProbeCompletion("DSP B"), 1);
    EXPECT_EQ(Engine().ProbeCompletion("dsp b"), 0);
    EXPECT_EQ(Engine().ProbeCompletion(""), 1);
    tree.objects.clear();
    EXPECT_EQ(Engine().ProbeCompletion(""), 0);
    EXPECT_TRUE(host.Messages().empty());  // the probe never shows an error
    EXPECT_EQ(serial->firstWaitAtWait, (std::vector<int>{2000, 2000, 2000, 2000}));
    EXPECT_EQ(serial->firstWaitMs, 5000);
}

TEST_F(EngineTest, ProgramData) {
    tree.programData = std::string(
        "\xF0\x1C\x70\x00"
        "\"P\" \x00\x01 text\xF7",
        16);
    std::string text;
    ASSERT_EQ(Engine().GetProgramData(text), 0);
    EXPECT_EQ(text, std::string("\"P\" \x00\x01 text\xF7", 12));
    EXPECT_EQ(transcript, (Lines{"open 512", "wait 30000 F0 1C 70 00 0B F7", "close"}));

    tree.programData = std::string("\xF0\x1C", 2);  // fewer than four bytes stay
    ASSERT_EQ(Engine().GetProgramData(text), 0);
    EXPECT_EQ(text, std::string("\xF0\x1C", 2));

    tree.programData.reset();
    text = "as it was";
    EXPECT_EQ(Engine().GetProgramData(text), -2);
    EXPECT_EQ(text, "as it was");
    EXPECT_TRUE(host.Messages().empty());
    ExpectBracketHeld(*serial);
}

}  // namespace
