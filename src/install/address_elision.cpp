#include "install/address_elision.h"

namespace install {

namespace {

constexpr wchar_t kEllipsis = L'\x2026';

}  // namespace

std::size_t KeptPrefixLength(std::wstring_view address) {
    const std::size_t colon = address.find(L':');
    if (colon == std::wstring_view::npos || colon == 0) return 0;
    if (address.find_first_of(L"/?#\\") < colon) return 0;  // no scheme: a path
    if (address.substr(colon + 1, 2) != L"//") return colon + 1;
    const std::size_t end = address.find_first_of(L"/?#\\", colon + 3);
    return end == std::wstring_view::npos ? address.size() : end;
}

// Characters are taken from both ends of the rest in turn, the end first (it
// names the file), while the result still fits.
std::wstring ElideAddress(const std::wstring& address, int room,
                          const std::function<int(std::wstring_view)>& widthOf) {
    if (widthOf(address) <= room) return address;
    const std::size_t kept = KeptPrefixLength(address);
    const std::wstring_view prefix = std::wstring_view(address).substr(0, kept);
    const std::wstring_view rest = std::wstring_view(address).substr(kept);
    std::size_t head = 0;
    std::size_t tail = 0;
    const auto compose = [&](std::size_t h, std::size_t t) {
        std::wstring text(prefix);
        text += rest.substr(0, h);
        text += kEllipsis;
        text += rest.substr(rest.size() - t);
        return text;
    };
    for (bool fromEnd = true; head + tail < rest.size(); fromEnd = !fromEnd) {
        const std::size_t h = head + (fromEnd ? 0 : 1);
        const std::size_t t = tail + (fromEnd ? 1 : 0);
        if (widthOf(compose(h, t)) > room) {
            // The other end may still have room for a narrower character.
            const std::size_t h2 = head + (fromEnd ? 1 : 0);
            const std::size_t t2 = tail + (fromEnd ? 0 : 1);
            if (head + tail + 1 < rest.size() && widthOf(compose(h2, t2)) <= room) {
                head = h2;
                tail = t2;
                continue;
            }
            break;
        }
        head = h;
        tail = t;
    }
    return compose(head, tail);
}

}  // namespace install
