#pragma once
// Thrown by midi::CMIDIInDevice when the MIDI system refuses one of its input operations. what()
// is the system's text (at most 127 bytes are kept); copying the exception copies the text.

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

namespace midi {

class CMIDIInException : public std::exception {
public:
    explicit CMIDIInException(const std::string& text) {
        const std::size_t n = std::min(text.size(), sizeof(m_szErrorText) - 1);
        std::memcpy(m_szErrorText, text.data(), n);
        m_szErrorText[n] = '\0';
    }
    const char* what() const noexcept override { return m_szErrorText; }

private:
    char m_szErrorText[128] = {};
};

}  // namespace midi
