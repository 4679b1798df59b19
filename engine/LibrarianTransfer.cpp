// CLibrarian: moving programs between ".sig" files and the unit.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "engine/EngineMessages.h"
#include "engine/Librarian.h"
#include "engine/LinkBracket.h"
#include "engine/Protocol.h"
#include "link/Host.h"

namespace {

bool HasSigExtension(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (auto& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".sig";
}

std::string TooLargeText(const std::string& path, std::uintmax_t size) {
    return "The patch file \"" + path + "\" is too large (" + std::to_string(size) +
           " bytes). A patch file holds at most " + std::to_string(CLibrarian::kMaxPatchFileSize) +
           " bytes.";
}

std::string UnreadableText(const std::string& path, const std::string& reason) {
    return "Cannot read the patch file \"" + path + "\": " + reason;
}

}  // namespace

int CLibrarian::LoadPatchFile(std::string path) {
    if (!HasSigExtension(path)) {
        ShowError(std::string(engine_messages::kOnlySigFiles));
        return -2;
    }

    // The whole file is read, and checked, before the link is opened.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        ShowError(UnreadableText(path, error.message()));
        return -2;
    }
    if (size > kMaxPatchFileSize) {
        ShowError(TooLargeText(path, size));
        return -2;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) {
        ShowError(UnreadableText(path, std::strerror(errno)));
        return -2;
    }
    std::string content(static_cast<std::size_t>(kMaxPatchFileSize) + 1, '\0');
    const std::size_t got = std::fread(content.data(), 1, content.size(), file.get());
    if (std::ferror(file.get())) {
        ShowError(UnreadableText(path, std::strerror(errno)));
        return -2;
    }
    if (got > kMaxPatchFileSize) {  // the file grew since its size was taken
        ShowError(TooLargeText(path, got));
        return -2;
    }
    content.resize(got);
    file.reset();

    const std::string name = protocol::PatchName(content);
    std::vector<std::uint8_t> frame = protocol::BuildFrame(
        protocol::MSG_PROGRAM_LOAD, reinterpret_cast<const std::uint8_t*>(content.data()),
        static_cast<int>(content.size()));
    const int frameSize = static_cast<int>(frame.size());
    // The link is opened for the largest frame of the whole load: a small file's frame is
    // shorter than the key messages that confirm it, and than the probe's root query.
    const int openSize = std::max(
        {frameSize, protocol::kKeyPatternSize + protocol::kFrameOverhead,
         static_cast<int>(protocol::ObjectQueryText(0, 0).size()) + protocol::kFrameOverhead});

    auto bracket = Bracket(openSize);
    if (bracket.Failed()) return -2;
    std::string reply;
    const int linkMessagesBefore = m_linkHost.Shown();
    const int r = m_pLink->SendAndPoll(*this, name, frame.data(), frameSize, reply);
    frame = {};

    if (r != 0) {
        // A link that could not send the frame has said why (a frame too large for the MIDI
        // connection); "no communication" would then only mislead.
        if (m_linkHost.Shown() == linkMessagesBefore) ShowNoCommunication();
        return -2;
    }
    if (!reply.empty()) {
        std::string unitText = reply.size() > 4 ? reply.substr(4) : std::string();
        // Shown like a C string: up to a zero byte, without the frame's end byte that the MIDI
        // link keeps.
        unitText.resize(std::strlen(unitText.c_str()));
        if (!unitText.empty() && static_cast<std::uint8_t>(unitText.back()) == 0xF7)
            unitText.pop_back();
        ShowError(std::string(engine_messages::kErrorLoadingPatch) + unitText);
        return -2;
    }
    if (!PressKeys({{KEY_C3R3, 500}, {KEY_C1R3, 500}, {KEY_C3R2, 500}, {KEY_C6R0, 500}}))
        return KeysNotSent();
    if (m_pSightings) {
        IProgramSightings::Where where;
        where.bank = m_nSelectedBank;
        where.path = path;
        std::string unused;
        m_pSightings->ProgramSeen(content, name, m_loadHow, where, unused);
    }
    return 0;
}

int CLibrarian::ProbeCompletion(const std::string& name) {
    m_pLink->firstWaitMs = 2000;
    const std::string text = QueryObject(0, 0, false);
    m_pLink->firstWaitMs = 5000;
    return !text.empty() && text.find(name) != std::string::npos ? 1 : 0;
}

int CLibrarian::GetProgramData(std::string& text) {
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    const int r = SendFrame(protocol::MSG_PROGRAM_REQUEST, nullptr, 0,
                            protocol::kProgramRequestTimeoutMs, text);
    if (r != 0) return -2;  // `text` is then as the caller left it
    if (text.size() >= 4) text.erase(0, 4);
    if (m_pSightings && m_bReportFetches) {
        IProgramSightings::Where where;
        where.bank = m_nSelectedBank;
        where.program = m_nSelectedProgram;
        std::string unused;
        m_pSightings->ProgramSeen(text, {}, IProgramSightings::How::Fetched, where, unused);
    }
    return 0;
}
