#pragma once
// Thrown by midi::CMIDIOutDevice when it cannot allocate what an operation needs.

#include <new>

namespace midi {

class CMIDIOutMemFailure : public std::bad_alloc {
public:
    const char* what() const noexcept override {
        return "Memory allocation within a CMIDIOutDevice object failed.";
    }
};

}  // namespace midi
