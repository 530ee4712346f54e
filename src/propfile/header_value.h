// Turning the bytes of a header value stream into the value they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace propfile {

// The bytes up to, not including, the first zero byte; all of them when
// none is zero.
std::string ValueFromBytes(const char* bytes, std::size_t count);

// As atoi, for header values and the page's embed arguments alike: leading
// white space, an optional sign, then decimal digits up to the first other
// character; 0 without digits and for null. Values beyond the 32-bit range
// are held at its nearest end.
int32_t ParseInteger(const char* text);

// TRUE exactly when `value` is "TRUE", byte for byte.
bool ParseHeaderFlag(const std::string& value);

}  // namespace propfile
