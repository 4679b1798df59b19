#include "link/midi/WinMMMessages.h"

namespace midi {

std::vector<std::uint8_t> ShortMessageBytes(std::uint32_t packed) {
    const auto status = static_cast<std::uint8_t>(packed & 0xFF);
    if (status < 0x80) return {};
    std::size_t length = 3;
    if (status >= 0xF0) {
        switch (status) {
            case 0xF1: case 0xF3: length = 2; break;  // time code quarter frame, song select
            case 0xF2: length = 3; break;             // song position
            default: length = 1; break;               // tune request, real-time messages
        }
    } else if ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) {
        length = 2;  // program change, channel pressure
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < length; ++i) {
        bytes.push_back(static_cast<std::uint8_t>((packed >> (8 * i)) & 0xFF));
    }
    return bytes;
}

bool CSysexAssembler::Add(const std::uint8_t* bytes, std::size_t count,
                          std::vector<std::uint8_t>& whole) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte == 0xF0) {
            m_pending.clear();
            m_bOpen = true;
        }
        if (!m_bOpen) continue;
        m_pending.push_back(byte);
        if (byte == 0xF7) {
            m_bOpen = false;
            whole = std::move(m_pending);
            m_pending.clear();
            // WinMM hands over one message per buffer: what follows its end is not kept.
            return true;
        }
    }
    return false;
}

}  // namespace midi
