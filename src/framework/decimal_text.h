// The decimal text of an unsigned number. The standard library's
// std::to_wstring formats through the C library's swprintf, which would bring
// the whole printf machinery into the DLL.
#pragma once

#include <string>

namespace fw {

inline std::wstring DecimalText(unsigned long long value) {
    wchar_t digits[20];
    wchar_t* const end = digits + 20;
    wchar_t* first = end;
    do {
        *--first = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(first, end);
}

}  // namespace fw
