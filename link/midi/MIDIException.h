#pragma once
// What the MIDI device exceptions have in common: what() is the system's text for the failure
// (at most 127 bytes are kept); copying the exception copies the text.

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

namespace midi {

class CMIDIException : public std::exception {
public:
    explicit CMIDIException(const std::string& text) {
        const std::size_t n = std::min(text.size(), sizeof(m_szErrorText) - 1);
        std::memcpy(m_szErrorText, text.data(), n);
        m_szErrorText[n] = '\0';
    }
    const char* what() const noexcept override { return m_szErrorText; }

private:
    char m_szErrorText[128] = {};
};

}  // namespace midi
