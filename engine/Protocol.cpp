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

}  // namespace protocol
