#include "engine/TraceWriter.h"

#include <cstdio>

#include "engine/FrameDecoder.h"

std::string CTraceWriter::Line(const LinkFrame& frame, Clock::time_point start) {
    return Milliseconds(frame.time, start) + "\t" +
           (frame.direction == LinkDirection::ToUnit ? "->" : "<-") + "\t" + Description(frame) +
           "\t" + Hex(frame.bytes);
}

std::string CTraceWriter::Description(const LinkFrame& frame) {
    const std::string description = DescribeFrame(frame.direction, frame.bytes);
    return frame.discarded ? "(discarded) " + description : description;
}

std::string CTraceWriter::Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!hex.empty()) hex += ' ';
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

std::string CTraceWriter::Milliseconds(Clock::time_point time, Clock::time_point start) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(time - start).count();
    const long long positive = us > 0 ? static_cast<long long>(us) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", positive / 1000, positive % 1000);
    return text;
}
