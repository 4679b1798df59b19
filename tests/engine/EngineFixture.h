#pragma once
// An engine over two scripted links, a recording host whose pauses go into the same transcript,
// and a fresh settings store. The serial link is current unless the test stores "DeviceType".

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "engine/Librarian.h"
#include "tests/engine/FakeLink.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScopedSettingsStore.h"

inline std::string UnitReply(const std::string& text) {
    return std::string("\xF0\x1C\x70\x00", 4) + text;
}

// A list object's reply around `items`, of the shape the list parser reads.
inline std::string ListReply(const std::vector<std::string>& items) {
    std::string text = "LIST 1 2 3 'list:' 'sel' 5 \"title\" 7 ";
    for (const auto& item : items) text += "'" + item + "' ";
    return text;
}

// Answers object queries from a table of query texts ("%X %d") and their reply texts.
struct FakeTree {
    std::map<std::string, std::string> objects;
    std::optional<std::string> programData;  // reply bytes to a program request

    std::optional<std::string> operator()(const std::string& frame) const {
        const auto type = static_cast<std::uint8_t>(frame.at(4));
        if (type == 0x0B) return programData;
        if (type != 0x31) return std::nullopt;
        const auto it = objects.find(frame.substr(5, frame.size() - 6));
        if (it == objects.end()) return std::nullopt;
        return UnitReply(it->second);
    }
};

// The object tree: root 0, program functions 10, load new preset 20 (flags 2), bank list 21,
// program list 22, delete preset 30, deletable list 31, column A 4000001 with info 50, column B
// 8000002 without info.
inline FakeTree StandardTree() {
    FakeTree tree;
    tree.objects["0 0"] =
        "ROOT 0 0 0 'root'\nOBJ 0 10 0 'program functions'\nCOL 0 4000001 0 'DSP A'\n"
        "COL 0 8000002 0 'DSP B'\n";
    tree.objects["10 0"] = "OBJ 0 20 0 'load new preset'\nOBJ 0 30 0 'delete preset'\n";
    tree.objects["20 2"] = "OBJ 0 21 0 'bank:'\nOBJ 0 22 0 'programs:'\n";
    tree.objects["30 0"] = "OBJ 0 31 0 'delete: %s'\n";
    tree.objects["21 0"] = ListReply({"0 Factory", "1 Rock", "3 Mine"});
    tree.objects["22 0"] = ListReply({"3 Hall", "7 Plate 3"});
    tree.objects["31 0"] = ListReply({"7 Plate 3"});
    tree.objects["4000001 0"] = "COL 0 4000001 0 'DSP A'\nCOL 0 50 0 'info info'\n";
    tree.objects["8000002 0"] = "COL 0 8000002 0 'DSP B'\n";
    tree.objects["50 0"] = "INFO 0 50 0\nname \"Big Hall\"\nmix 'wet 100%%'\n";
    return tree;
}

class EngineTest : public ::testing::Test {
public:
    EngineTest() {
        host.OnPause([this](int ms) { transcript.push_back("pause " + std::to_string(ms)); });
    }

    // Builds the engine (after the test has stored settings, if it wants to).
    CLibrarian& Engine() {
        if (!m_pEngine) {
            auto serialLink = std::make_unique<CFakeLink>(transcript);
            auto midiLink = std::make_unique<CFakeLink>(transcript);
            serial = serialLink.get();
            midi = midiLink.get();
            serial->onWait = [this](const std::string& f) { return tree(f); };
            midi->onWait = [this](const std::string& f) { return tree(f); };
            m_pEngine =
                std::make_unique<CLibrarian>(host, std::move(serialLink), std::move(midiLink));
        }
        return *m_pEngine;
    }
    void DestroyEngine() { m_pEngine.reset(); }

    // Fills the catalogue from a bank list reply of `entries`, then forgets what that took.
    void LoadBanks(const std::vector<std::string>& entries) {
        tree.objects["21 0"] = ListReply(entries);
        std::vector<std::string> list;
        ASSERT_EQ(Engine().GetBankList(list), 0);
        ASSERT_EQ(list, entries);
        transcript.clear();
        host.Clear();
    }

    // The bracket held: as many closes as successful opens, nothing sent outside it.
    void ExpectBracketHeld(const CFakeLink& link) const {
        EXPECT_FALSE(link.isOpen);
        EXPECT_EQ(link.callsWhileClosed, 0);
        EXPECT_EQ(link.closeCount, link.openResult == 0 ? link.openCount : 0);
    }

    std::vector<std::string> transcript;
    CScopedSettingsStore store;
    CRecordingHost host;
    FakeTree tree = StandardTree();
    CFakeLink* serial = nullptr;
    CFakeLink* midi = nullptr;

private:
    std::unique_ptr<CLibrarian> m_pEngine;
};

// The frame of an object query "text", as the transcript writes it.
inline std::string QueryLine(const std::string& text) {
    std::string frame = std::string("\xF0\x1C\x70\x00\x31", 5) + text + "\xF7";
    return "wait 10000 " + Hex(frame);
}
