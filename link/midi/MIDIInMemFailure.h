#pragma once
// Thrown by midi::CMIDIInDevice when it cannot allocate what an operation needs.

#include <new>

namespace midi {

class CMIDIInMemFailure : public std::bad_alloc {
public:
    const char* what() const noexcept override {
        return "Memory allocation within a CMIDIInDevice object failed.";
    }
};

}  // namespace midi
