// Where a downloaded control file is placed and how it gets there: the name
// comes from the URL, so it is checked before anything is written.
#pragma once

#include <optional>
#include <string>

#include <windows.h>

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

// Places the control file `source` at `target` for the class `clsid` without
// losing anything: it is expanded into a temporary file in `target`'s
// directory and moved to `target` only once the expansion is complete. A file
// already at `target` is replaced only when it is the registered in-process
// server of `clsid` (an upgrade of that control); any other file there
// (another control's server, a file of the system) is left untouched, and so
// is a server that cannot be replaced because it is in use. False when
// nothing was placed; no temporary file is left behind then.
bool PlaceControlFile(const std::string& source, const std::string& target, const CLSID& clsid);

// Registers the placed control file `path` (its own DllRegisterServer). When
// that registration marks `clsid` killed (kill_bit.h), the control is
// unregistered again and `path` removed: a killed class is never installed.
// True when the control is registered and its class not killed.
bool RegisterPlacedControl(const std::string& path, const CLSID& clsid);

// Expands `source` (SZDD-compressed, or copied as it is) into `target`,
// creating or truncating it, through the platform's LZ service. False when
// either file cannot be opened as named or the copy fails; a target written
// in part, or a substitute name the service fell back to, is deleted then.
bool ExpandLzFile(const std::string& source, const std::string& target);

}  // namespace install
