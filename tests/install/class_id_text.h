// Brace-enclosed GUID text of a class id in upper case, as the OLE conversion
// writes it; shared by the registry tests and the lookup benchmark.
#pragma once

#include <string>

#include <windows.h>
#include <objbase.h>

namespace test {

inline std::string ClassIdText(const CLSID& clsid) {
    wchar_t wide[40];
    ::StringFromGUID2(clsid, wide, 40);
    char text[40];
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

}  // namespace test
