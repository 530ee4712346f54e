// Finding the plug-in for a MIME type as browsers on Windows do: the DLLs
// registered under the MozillaPlugins keys, then every DLL of the plug-in
// directories, are asked through their version resources which MIME types
// they serve ("MIMEType", several separated by "|").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace nphost {

inline constexpr char kPropertyFileMimeType[] = "application/x-object-property-file";

// The MIME types in the DLL's version resource, from the string table of
// each language/code page in its translation table; empty when the file has
// no version resource or no "MIMEType".
std::vector<std::string> MimeTypesOf(const std::string& dllPath);

// The first DLL (by name) in `directory` that serves `mimeType` (compared
// without regard to case) and is built for this program's machine; nothing if
// none does or the directory is missing.
std::optional<std::string> FindPluginIn(const std::string& directory, const std::string& mimeType);

// The key under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE where plug-ins are
// registered: one subkey per plug-in, whose "Path" value names its DLL. A
// 32-bit program on 64-bit Windows reads the 32-bit view of it.
inline constexpr char kMozillaPluginsKey[] = "SOFTWARE\\MozillaPlugins";

struct FoundPlugin {
    std::string path;   // the DLL
    std::string where;  // the registry key or the directory it was found in
};

// The first DLL (by subkey name) registered under `plugins` that serves
// `mimeType`, with its subkey's name; subkeys without a "Path", whose DLL
// serves other types or is built for another machine are passed over.
std::optional<FoundPlugin> FindPluginUnder(HKEY plugins, const std::string& mimeType);

// The plug-in for `mimeType` as browsers find it: registered under the
// MozillaPlugins key of HKEY_CURRENT_USER, then of HKEY_LOCAL_MACHINE, then
// in `directories` in order.
std::optional<FoundPlugin> FindPlugin(const std::string& mimeType, const std::vector<std::string>& directories);

// The directories nphost searches, in order: the "plugins" directory beside
// the page (for a local page only) and the directory of nphost.exe.
std::vector<std::string> PluginDirectories(const std::optional<std::string>& localPagePath);

}  // namespace nphost
