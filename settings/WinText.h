#pragma once
// Text at the Windows API's edge, for the Windows backends of every layer (this is the lowest):
// Quorlin's strings are UTF-8, the API's wide (UTF-16), and the system's error messages come from
// FormatMessage. Windows only; any thread.

#include <windows.h>

#include <string>
#include <string_view>

namespace wintext {

inline std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length = static_cast<int>(utf8.size());
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), size);
    return wide;
}

inline std::string Utf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// The system's message for a GetLastError() number, without its line end and full stop, so that
// it reads inside a sentence as POSIX's strerror does; "Error N" when the system has none.
inline std::string SystemText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length > 0 && buffer ? Utf8(std::wstring_view(buffer, length)) : "";
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                             text.back() == '\t' || text.back() == '.')) {
        text.pop_back();
    }
    return text.empty() ? "Error " + std::to_string(error) : text;
}

}  // namespace wintext
