#pragma once
// When a frame reached the unit, as far as whoever hands it over can tell: no sooner than
// earliestMs and no later than latestMs on the unit's clock (milliseconds). A caller with a clock
// of its own (a test, the in-process link) knows the moment exactly; a server that reads the
// frame off a line knows only that it came after it last found the line empty and before it read
// it, and narrows that down with what it knows of its own delays (PtyServer.h).

#include <cstdint>

struct FrameArrival {
    std::int64_t earliestMs = 0;
    std::int64_t latestMs = 0;

    static constexpr FrameArrival At(std::int64_t ms) { return {ms, ms}; }
    static constexpr FrameArrival Between(std::int64_t earliest, std::int64_t latest) {
        return {earliest < latest ? earliest : latest, latest};
    }
};
