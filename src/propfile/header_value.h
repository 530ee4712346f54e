// Turning the bytes of a header value stream into the value they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace propfile {

// The bytes up to, not including, the first zero byte; all of them when
// none is zero.
std::string ValueFromBytes(const char* bytes, std::size_t count);

// As atoi: leading white space, an optional sign, then decimal digits up to
// the first other character; 0 without digits. Values beyond the 32-bit
// range are held at its nearest end.
int32_t ParseHeaderInteger(const std::string& value);

// TRUE exactly when `value` is "TRUE", byte for byte.
bool ParseHeaderFlag(const std::string& value);

}  // namespace propfile
