#include "engine/Protocol.h"

#include <cstdio>

namespace protocol {

std::vector<std::uint8_t> BuildFrame(std::uint8_t type, const std::uint8_t* payload, int length) {
    std::vector<std::uint8_t> frame;
    frame.reserve(static_cast<std::size_t>(length) + kFrameOverhead);
    frame.insert(frame.end(), {0xF0, 0x1C, 0x70, 0x00, type});
    if (length > 0) frame.insert(frame.end(), payload, payload + length);
    frame.push_back(0xF7);
    return frame;
}

std::string ObjectQueryText(std::int32_t key, int flags) {
    char text[32];
    std::snprintf(text, sizeof text, "%X %d",
                  static_cast<unsigned>(static_cast<std::uint32_t>(key)), flags);
    return text;
}

std::vector<std::uint8_t> BankSelectPayload(int bank, int processor) {
    return {0x00,
            0x00,
            static_cast<std::uint8_t>(bank >> 4),
            static_cast<std::uint8_t>(bank & 0x0F),
            0x00,
            static_cast<std::uint8_t>(processor)};
}

std::vector<std::uint8_t> ProgramChange(int channel, int program) {
    return {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(program)};
}

std::string ReplyText(const std::string& reply) {
    if (reply.size() < 3) return {};
    if (static_cast<std::uint8_t>(reply[0]) != 0xF0 ||
        static_cast<std::uint8_t>(reply[1]) != 0x1C || static_cast<std::uint8_t>(reply[2]) != 0x70)
        return {};
    return reply.size() > 4 ? reply.substr(4) : std::string();
}

std::string PatchName(const std::string& content) {
    const auto first = content.find('"');
    if (first == std::string::npos) return {};
    const auto second = content.find('"', first + 1);
    if (second == std::string::npos) return {};
    return content.substr(first + 1, second - first - 1);
}

std::string_view ProgramPayload(std::string_view text) {
    if (!text.empty() && static_cast<std::uint8_t>(text.back()) == 0xF7)
        text.remove_suffix(1);
    return text;
}

std::size_t FirstUnsendableByte(std::string_view text, Transport transport) {
    const std::string_view payload = ProgramPayload(text);
    const std::uint8_t lowest = transport == Transport::MIDI ? 0x80 : 0xF0;
    for (std::size_t i = 0; i < payload.size(); ++i) {
        if (static_cast<std::uint8_t>(payload[i]) >= lowest) return i;
    }
    return std::string_view::npos;
}

std::string UnsendableReason(std::string_view text, Transport transport) {
    const std::size_t at = FirstUnsendableByte(text, transport);
    if (at == std::string_view::npos) return {};
    const auto byte = static_cast<std::uint8_t>(text[at]);
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(byte));
    const std::string what = std::string("the byte ") + hex + " at offset " + std::to_string(at);
    if (byte == 0xF7)
        return what +
               " would end the transfer early; the file is damaged or is not a program of the unit";
    if (transport == Transport::MIDI)
        return what + " cannot travel over MIDI, which carries only bytes below 0x80";
    return what +
           " would break the transfer; the file is damaged or is not a program of the unit";
}

}  // namespace protocol
