// libFuzzer target for patch files: arbitrary file contents through the engine's read, check and
// load path (LoadPatchFile) against the simulated unit behind its in-process link. The first byte
// chooses the link (even: serial, odd: MIDI); the rest is the file.
//
// Whatever the bytes, the unit receives either nothing at all (the file is refused: the link is
// never opened; so is every file that holds no program, empty or without a name between its first
// two double quotes) or exactly one load frame whose payload is the file (without one trailing 0xF7),
// beside the key presses and object queries the engine sends itself, and each write is one whole
// frame as the unit reads it. Anything else traps.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "demo/SimLink.h"
#include "engine/Librarian.h"
#include "engine/Protocol.h"
#include "link/Host.h"
#include "settings/MemorySettingsStore.h"
#include "settings/SettingsStore.h"
#include "sim/SimUnit.h"

namespace {

class CFuzzHost : public IHost {
public:
    explicit CFuzzHost(CSimLink*& link) : m_link(link) {}
    void ShowMessage(const std::string&, const std::string&, Icon) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void Pause(int ms) override {
        if (m_link) m_link->AdvanceClock(ms);
    }

private:
    CSimLink*& m_link;
};

const std::string& FilePath() {
    static const std::string path = "/tmp/quorlin-patch-fuzz-" + std::to_string(::getpid()) + ".sig";
    return path;
}

std::uint8_t Type(const std::string& frame) {
    return frame.size() > 4 ? static_cast<std::uint8_t>(frame[4]) : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool midi = (data[0] & 1) != 0;
    const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::FILE* file = std::fopen(FilePath().c_str(), "wb");
    if (file == nullptr) return 0;
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !written) return 0;

    static CMemorySettingsStore store;
    SetSettingsStore(&store);
    store.WriteDword(kSectionOptions, "DeviceType", midi ? 1 : 0);
    CSimUnit unit;
    CSimLink* link = nullptr;
    CFuzzHost host(link);
    auto serialLink = std::make_unique<CSimLink>(unit, CSimLink::ReplyStyle::Serial);
    auto midiLink = std::make_unique<CSimLink>(unit, CSimLink::ReplyStyle::MIDI);
    link = midi ? midiLink.get() : serialLink.get();
    CLibrarian engine(host, std::move(serialLink), std::move(midiLink));
    if (engine.SelectBank(0, 1) != 0) __builtin_trap();
    link->ClearTranscript();
    const int opens = link->OpenCount();

    const int r = engine.LoadPatchFile(FilePath());
    const auto transport = midi ? protocol::Transport::MIDI : protocol::Transport::Serial;
    const bool sendable = protocol::FirstUnsendableByte(content, transport) == std::string::npos &&
                          content.size() <= CLibrarian::kMaxPatchFileSize &&
                          !protocol::PatchName(content).empty();
    const auto& sent = link->Transcript();
    if (!sendable) {
        if (r != -2 || !sent.empty() || link->OpenCount() != opens) __builtin_trap();
    } else {
        const std::string load = std::string("\xF0\x1C\x70\x00\x0A", 5) +
                                 std::string(protocol::ProgramPayload(content)) + "\xF7";
        int loads = 0;
        for (const auto& frame : sent) {
            const std::uint8_t type = Type(frame.bytes);
            if (type == protocol::MSG_PROGRAM_LOAD) {
                ++loads;
                if (frame.bytes != load) __builtin_trap();
            } else if (type != protocol::MSG_KEY && type != protocol::MSG_OBJECT_QUERY) {
                __builtin_trap();
            }
        }
        if (loads != 1 || Type(sent.front().bytes) != protocol::MSG_PROGRAM_LOAD) __builtin_trap();
    }
    if (!link->ProtocolErrors().empty()) __builtin_trap();
    SetSettingsStore(nullptr);
    return 0;
}
