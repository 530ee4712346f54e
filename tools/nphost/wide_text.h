// Text of the ANSI code page as the wide text of the platform's W calls.
#pragma once

#include <string>

#include <windows.h>

namespace nphost {

inline std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                        wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    return wide;
}

}  // namespace nphost
