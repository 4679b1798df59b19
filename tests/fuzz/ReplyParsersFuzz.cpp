// libFuzzer target for the readers of the unit's replies: every parser over arbitrary bytes,
// with the first byte choosing the search name or selector so that each path is reached; and
// the frame decoder of the communication log, over the same bytes in both directions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FrameDecoder.h"
#include "engine/Protocol.h"
#include "engine/ReplyParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const std::string text = protocol::ReplyText(reply);
    const std::string_view input = text.empty() ? std::string_view(reply) : std::string_view(text);

    static constexpr std::string_view kNames[] = {
        "program functions", "load new preset", "bank:", "programs:",
        "delete preset",     "delete: %s",      "",      "'"};
    const std::size_t choice = size > 0 ? data[0] : 0;
    volatile std::int32_t sink = CReplyParser::FindChildKey(input, kNames[choice % 8]);

    std::vector<std::string> items;
    // A reply of another shape yields no items at all.
    if (!CReplyParser::ParseListReply(input, items) && !items.empty()) __builtin_trap();
    for (const auto& item : items) {
        int number = 0;
        if (CReplyParser::EntryNumber(item, number)) sink = number;
    }

    sink = CReplyParser::FindColumnKey(input, 1 + static_cast<int>(choice % 3));
    sink = CReplyParser::FindInfoKey(input);
    std::string info;
    sink = CReplyParser::ParseInfoText(input, info) ? 1 : 0;
    // Every frame gets a description, whatever its bytes.
    if (DescribeFrame(LinkDirection::ToUnit, data, size).empty()) __builtin_trap();
    if (DescribeFrame(LinkDirection::FromUnit, data, size).empty()) __builtin_trap();
    (void)sink;
    return 0;
}
