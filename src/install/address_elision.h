// The address a consent dialog shows in a box too narrow for it: the part
// that says whose server it is never goes, only the middle of the rest.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace install {

// `address` as it fits `room` pixels, where `widthOf` measures a text: whole
// when it fits; otherwise its scheme and authority ("http://host:80")
// whole, then as much of the start and of the end of the rest as fits around
// an ellipsis (U+2026). When even the scheme, the authority and the ellipsis
// do not fit, that is the answer (the box then shows it on more lines).
std::wstring ElideAddress(const std::wstring& address, int room,
                          const std::function<int(std::wstring_view)>& widthOf);

// The part of `address` kept whole: through its authority (the end of the
// text, a "/", "?", "#" or "\" after "scheme://"), or through the scheme's
// colon when no "//" follows it; empty for a text with no scheme.
std::size_t KeptPrefixLength(std::wstring_view address);

}  // namespace install
