// The browser's URL handling: resolving a reference against the page's URL,
// and converting between local paths and file: URLs. Strings are 8-bit in
// the system code page, as the plug-in exchanges them.
#pragma once

#include <optional>
#include <string>

namespace nphost {

// "http", "file", ... in lower case; empty when `url` has no scheme.
std::string SchemeOf(const std::string& url);

// `reference` resolved against the absolute `base`: a reference with a
// scheme stays exactly as it is (so that a plug-in's absolute request comes
// back unchanged); "//host/x", "/x", "?q", "x", "../x" follow the usual rules,
// and "." and ".." segments of the merged path are removed (".." never climbs
// above the root). Fragments are dropped.
std::string ResolveUrl(const std::string& base, const std::string& reference);

// file:///C:/dir/name for a local path (made absolute first); blanks, "%",
// "#" and "?" are written as %XX. Empty if the path cannot be made absolute.
std::string FileUrlFromPath(const std::string& path);

// The local path of a file: URL (file:///C:/x, file://localhost/C:/x or
// file:/C:/x), with %XX decoded; nothing for other URLs.
std::optional<std::string> PathFromFileUrl(const std::string& url);

}  // namespace nphost
