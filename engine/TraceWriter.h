#pragma once
// The text form of the traffic: one line per frame,
//
//   <ms>\t<direction>\t<description>\t<hex bytes>
//
// the milliseconds with three decimals since a start time the program chooses, the direction "->"
// (to the unit) or "<-", the description of FrameDecoder.h ("(discarded) " before it for input
// no transaction took) and every byte of the frame as it crossed the wire, the closing F7
// included, in upper-case hexadecimal separated by blanks. No line end.
//
// CTraceWriter is the observer (LinkTap.h) that hands each frame's line to a sink: the command
// line's --trace file, the log file. The sink is called on the tap's delivery thread.

#include <chrono>
#include <functional>
#include <string>

#include "link/LinkTap.h"

class CTraceWriter : public ILinkObserver {
public:
    using Clock = std::chrono::steady_clock;
    using Sink = std::function<void(const std::string& line)>;

    CTraceWriter(Sink sink, Clock::time_point start) : m_sink(std::move(sink)), m_start(start) {}

    void OnLinkFrame(const LinkFrame& frame) override { m_sink(Line(frame, m_start)); }

    static std::string Line(const LinkFrame& frame, Clock::time_point start);
    // The description with the discarded mark, as the line and the desktop's log show it.
    static std::string Description(const LinkFrame& frame);
    // "F0 1C 70 00 ...": every byte, upper case, blanks between.
    static std::string Hex(const std::string& bytes);
    // Milliseconds from `start` to `time` with three decimals ("12.345"); negative as 0.000.
    static std::string Milliseconds(Clock::time_point time, Clock::time_point start);

private:
    Sink m_sink;
    Clock::time_point m_start;
};
