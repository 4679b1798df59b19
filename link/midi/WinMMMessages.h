#pragma once
// How WinMM's input reaches the midi:: port interface: short messages packed into one number, and
// system-exclusive messages in the pieces that fill the input buffers. Pure code without WinMM,
// built on every system so that it is tested everywhere; used by the WinMM input port.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace midi {

// The bytes of a short message as WinMM packs it (status | data1 << 8 | data2 << 16): one to
// three bytes, as many as the status byte says. Empty for a lone data byte. Pure.
std::vector<std::uint8_t> ShortMessageBytes(std::uint32_t packed);

// Joins the pieces of system-exclusive input into whole messages. A 0xF0 byte
// starts a new message (one still open is dropped: its end was lost); a message is whole at its
// 0xF7. Pieces without a start are dropped. Used by one thread at a time.
class CSysexAssembler {
public:
    // Adds one piece; true, with the message in `whole`, when it completed one.
    bool Add(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& whole);

private:
    std::vector<std::uint8_t> m_pending;
    bool m_bOpen = false;
};

}  // namespace midi
