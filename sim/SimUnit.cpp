#include "sim/SimUnit.h"

#include <cstdio>

#include "sim/FactorySet.h"
#include "sim/ProgramText.h"

namespace {

const std::string kHeader("\xF0\x1C\x70\x00", 4);

constexpr unsigned char kKeyMessage = 0x01;
constexpr unsigned char kBankSelectMessage = 0x03;
constexpr unsigned char kProgramLoadMessage = 0x0A;
constexpr unsigned char kProgramRequestMessage = 0x0B;
constexpr unsigned char kObjectQueryMessage = 0x31;
constexpr char kErrorMark = 0x0D;

std::string Reply(const std::string& text) {
    return kHeader + text + "\xF7";
}

std::string ErrorReply(const std::string& text) {
    return std::string("\xF0\x1C\x70", 3) + kErrorMark + text + "\xF7";
}

unsigned char At(const std::string& bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

// "%X %d" exactly: upper-case hexadecimal without leading zeros, one blank, decimal flags.
bool ReadQuery(const std::string& text, std::uint32_t& key, int& flags) {
    const auto blank = text.find(' ');
    if (blank == std::string::npos || blank == 0 || blank > 8) return false;
    unsigned long long k = 0;
    long long f = 0;
    char hex[16];
    char rest[16];
    if (std::sscanf(text.c_str(), "%llX %lld", &k, &f) != 2) return false;
    std::snprintf(hex, sizeof hex, "%llX", k);
    std::snprintf(rest, sizeof rest, " %lld", f);
    if (text != std::string(hex) + rest || k > 0xFFFFFFFFull || f < -0x80000000ll ||
        f > 0x7FFFFFFFll)
        return false;
    key = static_cast<std::uint32_t>(k);
    flags = static_cast<int>(f);
    return true;
}

}  // namespace

CSimUnit::CSimUnit() : m_tree(m_library, m_processors, m_nCurrent, m_panel) {
    ResetToFactorySet();
}

void CSimUnit::ResetToFactorySet() {
    sim::LoadFactorySet(m_library);
    ResetProcessors();
}

void CSimUnit::ClearBanks() {
    m_library.Clear();
    ResetProcessors();
}

void CSimUnit::ResetProcessors() {
    m_processors = {};
    m_nCurrent = 0;
    Run(0, 0, 0);
    Run(1, 0, 0);
}

bool CSimUnit::AddBank(int number, const std::string& name) {
    return m_library.AddBank(number, name);
}

bool CSimUnit::AddProgram(int bank, int number, const std::string& text, bool user) {
    return m_library.AddProgram(bank, number, text, user);
}

std::vector<CSimUnit::Bank> CSimUnit::Banks() const {
    std::vector<Bank> banks;
    for (const auto& [number, bank] : m_library.Banks()) banks.push_back({number, bank.name});
    return banks;
}

std::vector<CSimUnit::Program> CSimUnit::Programs(int bank) const {
    std::vector<Program> programs;
    if (const SimBank* b = m_library.FindBank(bank))
        for (const auto& [number, p] : b->programs)
            programs.push_back(
                {bank, number, sim::ProgramName(p.text).value_or(""), p.text, p.user});
    return programs;
}

std::optional<CSimUnit::Program> CSimUnit::LoadedProgram(int dsp) const {
    if (dsp != 1 && dsp != 2) return std::nullopt;
    const SimProcessor& p = m_processors[dsp - 1];
    if (!p.loaded) return std::nullopt;
    const SimProgram* stored = m_library.FindProgram(p.loadedBank, p.loadedNumber);
    return Program{p.loadedBank, p.loadedNumber, sim::ProgramName(p.text).value_or(""), p.text,
                   stored != nullptr && stored->user};
}

int CSimUnit::SelectedBank(int dsp) const {
    return dsp == 1 || dsp == 2 ? m_processors[dsp - 1].selectedBank : -1;
}

void CSimUnit::Run(int processor, int bank, int number) {
    const SimProgram* program = m_library.FindProgram(bank, number);
    if (program == nullptr) return;
    SimProcessor& p = m_processors[processor];
    p.loaded = true;
    p.loadedBank = bank;
    p.loadedNumber = number;
    p.text = program->text;
}

std::vector<std::string> CSimUnit::HandleFrame(const std::string& frame, std::int64_t nowMs) {
    return HandleFrame(frame, FrameArrival::At(nowMs));
}

std::vector<std::string> CSimUnit::HandleFrame(const std::string& frame, FrameArrival arrival) {
    m_strNote.clear();
    if (frame.size() == 2 && (At(frame, 0) & 0xF0) == 0xC0 && At(frame, 1) < 0x80) {
        ProgramChange(At(frame, 0) & 0x0F, At(frame, 1));
        return {};
    }
    if (frame.size() < 6 || frame.compare(0, 4, kHeader) != 0 ||
        At(frame, frame.size() - 1) != 0xF7) {
        m_strNote = "not a frame of this unit: ignored";
        return {};
    }
    const std::string payload = frame.substr(5, frame.size() - 6);
    switch (At(frame, 4)) {
        case kKeyMessage:
            return Key(payload, arrival);
        case kBankSelectMessage:
            BankSelect(payload);
            return {};
        case kProgramLoadMessage:
            return ProgramLoad(payload);
        case kProgramRequestMessage:
            return ProgramRequest(payload);
        case kObjectQueryMessage:
            return ObjectQuery(payload);
        default:
            m_strNote = "unknown message type: ignored";
            return {};
    }
}

std::vector<std::string> CSimUnit::Key(const std::string& payload, FrameArrival arrival) {
    const auto action =
        m_panel.Press(payload, arrival, m_library, m_processors[m_nCurrent].selectedBank);
    m_strNote = m_panel.LastNote();
    using Kind = CSimFrontPanel::Action::Kind;
    switch (action.kind) {
        case Kind::DeleteProgram: {
            const SimProgram* p = m_library.FindProgram(action.bank, action.program);
            if (p != nullptr && p->user && m_library.RemoveProgram(action.bank, action.program))
                m_strNote += "; deleted program " + std::to_string(action.program) + " of bank " +
                             std::to_string(action.bank);
            break;
        }
        case Kind::DeleteBank:
            m_strNote += m_library.RemoveEmptyBank(action.bank)
                             ? "; deleted bank " + std::to_string(action.bank)
                             : "; bank " + std::to_string(action.bank) + " not deleted";
            break;
        case Kind::StoreBankName:
            m_library.StoreBankName(action.bank, action.name);
            m_strNote += "; bank " + std::to_string(action.bank) + " named \"" + action.name + "\"";
            break;
        case Kind::None:
            break;
    }
    return {};
}

void CSimUnit::BankSelect(const std::string& payload) {
    if (payload.size() != 6 || At(payload, 0) != 0 || At(payload, 1) != 0 ||
        At(payload, 3) > 0x0F || At(payload, 4) != 0 ||
        (At(payload, 5) != 1 && At(payload, 5) != 2)) {
        m_strNote = "malformed bank select: ignored";
        return;
    }
    const int bank = At(payload, 2) * 16 + At(payload, 3);
    if (bank > CSimLibrary::kMaxBank) {
        m_strNote = "bank select beyond 99: ignored";
        return;
    }
    m_nCurrent = At(payload, 5) - 1;
    m_processors[m_nCurrent].selectedBank = bank;
    m_strNote = std::string("bank ") + std::to_string(bank) + " selected on DSP " +
                (m_nCurrent == 0 ? "A" : "B");
}

void CSimUnit::ProgramChange(int channel, int program) {
    if (m_nReceiveChannel >= 0 && channel != m_nReceiveChannel) {
        m_strNote = "program change on another channel: ignored";
        return;
    }
    const int bank = m_processors[m_nCurrent].selectedBank;
    if (m_library.FindProgram(bank, program) != nullptr) {
        Run(m_nCurrent, bank, program);
        m_strNote = "program " + std::to_string(program) + " of bank " + std::to_string(bank) +
                    " loaded on DSP " + (m_nCurrent == 0 ? "A" : "B");
    } else {
        m_strNote = "no program " + std::to_string(program) + " in bank " + std::to_string(bank);
    }
    m_panel.ProgramChanged(bank, program, m_library);
}

std::vector<std::string> CSimUnit::ProgramLoad(const std::string& text) {
    const auto name = sim::ProgramName(text);
    const int bank = m_processors[m_nCurrent].selectedBank;
    std::string refusal;
    if (!name || name->empty())
        refusal = "program refused: no name between double quotes";
    else if (m_library.FindBank(bank) == nullptr)
        refusal = "program refused: bank " + std::to_string(bank) + " does not exist";
    else if (m_library.LowestFreeNumber(bank) < 0)
        refusal = "program refused: bank " + std::to_string(bank) + " is full";
    if (!refusal.empty()) {
        m_strNote = refusal;
        return {ErrorReply(refusal)};
    }
    const int number = m_library.LowestFreeNumber(bank);
    m_library.AddProgram(bank, number, text, true);
    Run(m_nCurrent, bank, number);
    m_strNote = "program \"" + *name + "\" stored as " + std::to_string(number) + " in bank " +
                std::to_string(bank);
    return {};
}

std::vector<std::string> CSimUnit::ProgramRequest(const std::string& payload) {
    const SimProcessor& p = m_processors[m_nCurrent];
    if (!payload.empty() || !p.loaded) {
        m_strNote = "program request not answered";
        return {};
    }
    m_strNote = "program request answered";
    return {Reply(p.text)};
}

std::vector<std::string> CSimUnit::ObjectQuery(const std::string& payload) {
    std::uint32_t key = 0;
    int flags = 0;
    if (!ReadQuery(payload, key, flags)) {
        m_strNote = "malformed object query \"" + payload + "\": ignored";
        return {};
    }
    const auto listing = m_tree.Listing(key, flags);
    m_strNote = "object query " + payload + (listing ? " answered" : ": no such object");
    if (!listing) return {};
    return {Reply(*listing)};
}
