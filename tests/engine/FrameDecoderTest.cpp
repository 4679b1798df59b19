// The communication log's descriptions: the frames the engine sends and the replies it gets,
// each as the log shows it, and malformed frames of every kind as UNKNOWN.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/FrameDecoder.h"
#include "engine/KeyPatterns.h"
#include "engine/Protocol.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

std::string Frame(std::uint8_t type, const std::string& payload) {
    const auto f = protocol::BuildFrame(type, reinterpret_cast<const std::uint8_t*>(payload.data()),
                                        static_cast<int>(payload.size()));
    return std::string(f.begin(), f.end());
}

std::string KeyFrame(KeyPattern key) {
    const KeyBytes& p = kKeyPatterns[key];
    return Frame(protocol::MSG_KEY, std::string(p.begin(), p.end()));
}

struct Case {
    const char* what;
    LinkDirection direction;
    std::string bytes;
    std::string expected;
};

constexpr auto kTo = LinkDirection::ToUnit;
constexpr auto kFrom = LinkDirection::FromUnit;

std::vector<Case> Cases() {
    const auto bankSelect = [](int bank, int dsp) {
        const auto p = protocol::BankSelectPayload(bank, dsp);
        return Frame(protocol::MSG_BANK_SELECT, std::string(p.begin(), p.end()));
    };
    const auto change = [](int channel, int program) {
        const auto p = protocol::ProgramChange(channel, program);
        return std::string(p.begin(), p.end());
    };
    const std::string header = Bytes({0xF0, 0x1C, 0x70, 0x00});
    std::string reply812 = header + std::string(807, 'x') + Bytes({0xF7});
    const std::string program = "\"Big Hall\" rest of the program text";
    return {
        // What the engine sends, built by the engine's own builders.
        {"root query", kTo, Frame(protocol::MSG_OBJECT_QUERY, protocol::ObjectQueryText(0, 0)),
         "QUERY 0 flags 0"},
        {"query with flags", kTo,
         Frame(protocol::MSG_OBJECT_QUERY, protocol::ObjectQueryText(0x1AB, 2)),
         "QUERY 1AB flags 2"},
        {"query of a negative key", kTo,
         Frame(protocol::MSG_OBJECT_QUERY, protocol::ObjectQueryText(-1, -3)),
         "QUERY FFFFFFFF flags -3"},
        {"key", kTo, KeyFrame(KEY_C3R3), "KEY C3R3"},
        {"key of two keys", kTo, KeyFrame(KEY_C1R0_C5R1), "KEY C1R0+C5R1"},
        {"digit key", kTo, KeyFrame(KEY_DIGIT_1), "KEY C0R3 (1)"},
        {"digit zero", kTo, KeyFrame(KEY_DIGIT_0), "KEY C2R0 (0)"},
        {"bank select A", kTo, bankSelect(3, protocol::kProcessorA), "BANK SELECT bank 3 DSP A"},
        {"bank select B high bank", kTo, bankSelect(37, protocol::kProcessorB),
         "BANK SELECT bank 37 DSP B"},
        {"program change", kTo, change(0, 12), "PROGRAM CHANGE 12 channel 1"},
        {"program change channel 16", kTo, change(15, 127), "PROGRAM CHANGE 127 channel 16"},
        {"program request", kTo, Frame(protocol::MSG_PROGRAM_REQUEST, ""), "PROGRAM REQUEST"},
        {"load", kTo, Frame(protocol::MSG_PROGRAM_LOAD, program),
         "LOAD Big Hall " + std::to_string(program.size()) + " bytes"},
        {"load without a name", kTo, Frame(protocol::MSG_PROGRAM_LOAD, std::string(204, 'a')),
         "LOAD 204 bytes"},
        // What the unit sends back.
        {"reply counts the whole frame", kFrom, reply812, "REPLY 812 bytes"},
        {"empty reply", kFrom, header + Bytes({0xF7}), "REPLY 5 bytes"},
        {"reply starting like a query", kFrom, header + "1 0" + Bytes({0xF7}), "REPLY 8 bytes"},
        {"error reply", kFrom, Bytes({0xF0, 0x1C, 0x70, 0x0D}) + "Bank is full\r\n" + Bytes({0xF7}),
         "ERROR REPLY \"Bank is full\""},
        {"error reply with odd bytes", kFrom,
         Bytes({0xF0, 0x1C, 0x70, 0x0D}) + "a\x01\xC3z" + Bytes({0xF7}), "ERROR REPLY \"a ?z\""},
        // Malformed: to the unit.
        {"nothing", kTo, "", "UNKNOWN"},
        {"lone start byte", kTo, Bytes({0xF0}), "UNKNOWN"},
        {"header only", kTo, Bytes({0xF0, 0x1C, 0x70, 0x00, 0xF7}), "UNKNOWN"},
        {"no end byte", kTo, Frame(protocol::MSG_PROGRAM_REQUEST, "").substr(0, 5), "UNKNOWN"},
        {"other maker", kTo, Bytes({0xF0, 0x1D, 0x70, 0x00, 0x0B, 0xF7}), "UNKNOWN"},
        {"fourth byte not zero", kTo, Bytes({0xF0, 0x1C, 0x70, 0x01, 0x0B, 0xF7}), "UNKNOWN"},
        {"unknown type", kTo, Frame(0x55, "ab"), "UNKNOWN"},
        {"query without flags", kTo, Frame(protocol::MSG_OBJECT_QUERY, "1AB"), "UNKNOWN"},
        {"query in lower case", kTo, Frame(protocol::MSG_OBJECT_QUERY, "1ab 2"), "UNKNOWN"},
        {"query with letters in flags", kTo, Frame(protocol::MSG_OBJECT_QUERY, "1AB 2x"),
         "UNKNOWN"},
        {"query with leading zero", kTo, Frame(protocol::MSG_OBJECT_QUERY, "01 0"), "UNKNOWN"},
        {"query key too long", kTo, Frame(protocol::MSG_OBJECT_QUERY, "123456789 0"), "UNKNOWN"},
        {"key of seven bytes", kTo, Frame(protocol::MSG_KEY, std::string(7, '\x0F')), "UNKNOWN"},
        {"key with no key down", kTo, Frame(protocol::MSG_KEY, std::string(8, '\x0F')), "UNKNOWN"},
        {"key with high bits", kTo, Frame(protocol::MSG_KEY, std::string(7, '\x0F') + "\x1F"),
         "UNKNOWN"},
        {"bank select of other processor", kTo,
         Frame(protocol::MSG_BANK_SELECT, Bytes({0, 0, 0, 3, 0, 3})), "UNKNOWN"},
        {"bank select short", kTo, Frame(protocol::MSG_BANK_SELECT, Bytes({0, 0, 0, 3, 0})),
         "UNKNOWN"},
        {"program request with payload", kTo, Frame(protocol::MSG_PROGRAM_REQUEST, "x"), "UNKNOWN"},
        {"program change of three bytes", kTo, Bytes({0xC0, 0x05, 0x00}), "UNKNOWN"},
        {"program change above 127", kTo, Bytes({0xC0, 0x80}), "UNKNOWN"},
        {"note on", kTo, Bytes({0x90, 0x40}), "UNKNOWN"},
        // Malformed: from the unit.
        {"reply without end", kFrom, header + "abc", "UNKNOWN"},
        {"reply of other maker", kFrom, Bytes({0xF0, 0x1D, 0x70, 0x00, 0xF7}), "UNKNOWN"},
        {"stray bytes", kFrom, Bytes({0x41, 0x42, 0xF7}), "UNKNOWN"},
        {"four bytes", kFrom, Bytes({0xF0, 0x1C, 0x70, 0xF7}), "UNKNOWN"},
        {"program change back", kFrom, change(0, 12), "UNKNOWN"},
    };
}

TEST(FrameDecoderTest, DescribesEachFrameInItsForm) {
    for (const Case& c : Cases()) {
        EXPECT_EQ(DescribeFrame(c.direction, c.bytes), c.expected) << c.what;
    }
}

TEST(FrameDecoderTest, CutsALongErrorTextAndNeverThrows) {
    const std::string text(500, 'e');
    const std::string frame = std::string("\xF0\x1C\x70\x0D", 4) + text + "\xF7";
    const std::string described = DescribeFrame(LinkDirection::FromUnit, frame);
    EXPECT_EQ(described, "ERROR REPLY \"" + std::string(120, 'e') + "...\"");
    EXPECT_EQ(DescribeFrame(LinkDirection::ToUnit, nullptr, 12), "UNKNOWN");
    // Every prefix of every frame above, both ways: a description, never an exception.
    for (const Case& c : Cases()) {
        for (std::size_t n = 0; n <= c.bytes.size(); ++n) {
            for (auto direction : {kTo, kFrom}) {
                EXPECT_NO_THROW(
                    EXPECT_FALSE(DescribeFrame(direction, c.bytes.substr(0, n)).empty()));
            }
        }
    }
}

}  // namespace
