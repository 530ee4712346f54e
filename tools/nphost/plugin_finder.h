// Finding the plug-in for a MIME type as browsers on Windows do: every DLL of
// a plug-in directory is asked, through its version resource, which MIME
// types it serves ("MIMEType", several separated by "|").
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace nphost {

inline constexpr char kPropertyFileMimeType[] = "application/x-object-property-file";

// The MIME types in the DLL's version resource, from the string table of
// each language/code page in its translation table; empty when the file has
// no version resource or no "MIMEType".
std::vector<std::string> MimeTypesOf(const std::string& dllPath);

// The first DLL (by name) in `directory` that serves `mimeType` (compared
// without regard to case); nothing if none does or the directory is missing.
std::optional<std::string> FindPluginIn(const std::string& directory, const std::string& mimeType);

// The directories nphost searches, in order: the "plugins" directory beside
// the page (for a local page only) and the directory of nphost.exe.
std::vector<std::string> PluginDirectories(const std::optional<std::string>& localPagePath);

}  // namespace nphost
