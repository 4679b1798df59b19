// CLibrarian: moving programs between ".sig" files and the unit.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "engine/EngineMessages.h"
#include "engine/Librarian.h"
#include "engine/LinkBracket.h"
#include "engine/Protocol.h"
#include "engine/RegularFileReader.h"
#include "engine/UnitText.h"
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
    std::string content;
    if (ReadPatchFile(path, content) != 0) return -2;
    return LoadPatchText(content, path);
}

int CLibrarian::ReadPatchFile(const std::string& path, std::string& content) {
    if (!HasSigExtension(path)) {
        ShowError(std::string(engine_messages::kOnlySigFiles));
        return -2;
    }
    std::string text;
    const auto read =
        filereader::ReadRegularFile(path, kMaxPatchFileSize, filereader::Links::Follow, text);
    if (read.result == filereader::Result::TooLarge) {
        ShowError(TooLargeText(path, read.size));
        return -2;
    }
    if (read.result != filereader::Result::Read) {
        ShowError(UnreadableText(path, read.error));
        return -2;
    }
    // A file with no program in it never reaches the unit: an empty text, or one without the
    // program's name (the text between its first two double quotes), is not a program.
    if (text.empty()) {
        ShowError("The patch file \"" + path +
                  "\" is empty (0 bytes): it holds no program. Choose a .sig file saved from the "
                  "unit.");
        return -2;
    }
    if (protocol::PatchName(text).empty()) {
        ShowError("The patch file \"" + path +
                  "\" holds no program name (a name between double quotes): it is not a program "
                  "of the unit. Choose a .sig file saved from the unit.");
        return -2;
    }
    if (const std::string problem = PatchTextProblem(text, path); !problem.empty()) {
        ShowError(problem);
        return -2;
    }
    content = std::move(text);
    return 0;
}

std::string CLibrarian::PatchTextProblem(const std::string& content,
                                         const std::string& path) const {
    const std::string reason = protocol::UnsendableReason(content, CurrentTransport());
    if (reason.empty()) return {};
    return "The patch file \"" + path + "\" cannot be sent to the unit: " + reason + ".";
}

int CLibrarian::LoadPatchText(const std::string& content, const std::string& path) {
    // Checked here too, so that no caller can send a text that would end its frame early.
    if (content.size() > kMaxPatchFileSize) {
        ShowError(TooLargeText(path, content.size()));
        return -2;
    }
    if (const std::string problem = PatchTextProblem(content, path); !problem.empty()) {
        ShowError(problem);
        return -2;
    }
    const std::string_view payload = protocol::ProgramPayload(content);
    const std::string name = protocol::PatchName(content);
    std::vector<std::uint8_t> frame = protocol::BuildFrame(
        protocol::MSG_PROGRAM_LOAD, reinterpret_cast<const std::uint8_t*>(payload.data()),
        static_cast<int>(payload.size()));
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
        ShowError(std::string(engine_messages::kErrorLoadingPatch) + UnitBytesToUtf8(unitText));
        return -2;
    }
    if (!PressKeys({{KEY_C3R3, 500}, {KEY_C1R3, 500}, {KEY_C3R2, 500}, {KEY_C6R0, 500}}))
        return KeysNotSent();
    if (m_pSightings) {
        IProgramSightings::Where where;
        where.bank = m_nSelectedBank;
        where.path = path;
        std::string unused;
        m_pSightings->ProgramSeen(content, UnitBytesToUtf8(name), m_loadHow, where, unused);
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
