// Text of the ANSI code page (the tools' command lines and file names) as the
// wide text of the platform's W calls and OLE, and back. Shared by the tools;
// text that cannot be converted gives "".
#pragma once

#include <string>

#include <windows.h>

namespace tooltext {

inline std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(length > 0 ? length : 0, L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

inline std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(length > 0 ? length : 0, '\0');
    if (length > 0) ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

}  // namespace tooltext
