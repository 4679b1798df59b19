#pragma once
// Cuts the byte stream that reaches the unit into the frames it acts on, as the unit's receiver
// does: a system-exclusive frame runs from 0xF0 to the first 0xF7; a byte 0xC0 to 0xCF outside a
// frame and the byte after it (below 0x80) make a program change. An 0xF0 inside a frame starts
// the frame afresh (the unfinished one is dropped); other bytes outside frames, and frames longer
// than kMaxFrameBytes (0xF0 and 0xF7 included), are dropped.
//
// Not thread-safe: one caller at a time.

#include <cstddef>
#include <string>
#include <vector>

class CFrameAssembler {
public:
    // The longest frame the receiver takes: 1 MiB.
    static constexpr std::size_t kMaxFrameBytes = 1 << 20;

    // Takes the next bytes of the stream; returns the frames they completed, in order.
    std::vector<std::string> Feed(const std::string& bytes);
    // True while a frame has begun and not ended.
    bool InFrame() const { return m_state != State::Idle; }
    // Bytes dropped so far (outside frames, or of frames that were cut off).
    std::size_t DroppedBytes() const { return m_nDropped; }

private:
    enum class State { Idle, SysEx, ProgramChange };
    State m_state = State::Idle;
    std::string m_frame;
    std::size_t m_nDropped = 0;
};
