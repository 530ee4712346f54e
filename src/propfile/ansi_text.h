// Conversions between the system's 8-bit ANSI code page (CP_ACP) and the
// UTF-16 text of OLE calls.
#pragma once

#include <string>

namespace propfile {

// The text widened from CP_ACP; text that cannot be converted gives "".
std::wstring WidenAnsi(const std::string& text);

// The zero-terminated UTF-16 text narrowed to CP_ACP; null or unconvertible
// text gives "".
std::string NarrowToAnsi(const wchar_t* text);

}  // namespace propfile
