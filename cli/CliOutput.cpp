#include "cli/CliOutput.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

CCheckedOutput::int_type CCheckedOutput::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    errno = 0;
    if (std::fputc(traits_type::to_char_type(c), stdout) == EOF) {
        Failed();
        return traits_type::eof();
    }
    return c;
}

std::streamsize CCheckedOutput::xsputn(const char* text, std::streamsize count) {
    if (count <= 0) return 0;
    errno = 0;
    const std::size_t written = std::fwrite(text, 1, static_cast<std::size_t>(count), stdout);
    if (written < static_cast<std::size_t>(count)) Failed();
    return static_cast<std::streamsize>(written);
}

int CCheckedOutput::sync() {
    errno = 0;
    if (std::fflush(stdout) == 0) return 0;
    Failed();
    return -1;
}

void CCheckedOutput::Failed() {
    if (m_nError == 0) m_nError = errno != 0 ? errno : EIO;
}

std::string OutputFailedText(int errorNumber) {
    return "Cannot write to standard output" +
           (errorNumber != 0 ? ": " + std::system_category().message(errorNumber) : ".");
}
