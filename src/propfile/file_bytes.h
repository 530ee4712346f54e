// A delivered file read whole into memory: the browser may delete its copy
// as soon as the delivery returns, so what is needed later is kept as bytes.
#pragma once

#include <optional>
#include <string>

namespace propfile {

// The bytes of the file at `path` (ANSI); nullopt when it cannot be opened or
// read whole, or holds more than kFileBytesLimit bytes.
std::optional<std::string> ReadFileBytes(const std::string& path);

inline constexpr unsigned long long kFileBytesLimit = 0x7FFFFFFF;

}  // namespace propfile
