// Where a downloaded control file is placed and how it gets there: the name
// comes from the URL, so it is checked before anything is written.
#pragma once

#include <optional>
#include <string>

namespace install {

// Longest path (without its terminating zero) that the expansion hands to
// the platform; longer paths are refused, never cut.
constexpr std::size_t kMaxExpansionPath = 255;

// True for a name the platform stores as written in one directory: not
// empty, no <>:"/\|?* or control characters, not a device name (CON, NUL,
// COM1, ... with or without an extension), no trailing dot or space.
bool IsPlainFileName(const std::string& name);

// `directory`, a backslash unless it ends with one, then `fileName` up to its
// last "." (the whole name without one) and ".ocx". Nothing when the directory
// is empty, the placed name is not a plain file name (an empty stem
// included), or the path is longer than kMaxExpansionPath.
std::optional<std::string> PlacedControlPath(const std::string& directory,
                                             const std::string& fileName);

// Expands `source` (SZDD-compressed, or copied as it is) into `target`,
// creating or truncating it, through the platform's LZ service. False when
// either file cannot be opened as named or the copy fails; a target written
// in part, or a substitute name the service fell back to, is deleted then.
bool ExpandLzFile(const std::string& source, const std::string& target);

}  // namespace install
