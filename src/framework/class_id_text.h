// The text by which the registry names a class: the braced GUID text of the
// OLE conversion, "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
#pragma once

#include <string>

#include <objbase.h>

namespace fw {

inline std::wstring ClassIdText(const CLSID& clsid) {
    wchar_t text[40] = {};  // the 38 characters and their zero always fit
    ::StringFromGUID2(clsid, text, 40);
    return text;
}

}  // namespace fw
