#include "install/signature_policy.h"

#include <optional>
#include <utility>

#include <windows.h>

#include "framework/unique_resource.h"

namespace install {

namespace {

std::optional<DWORD> PolicyValue(HKEY root, REGSAM view) {
    fw::UniqueHKey key;
    if (::RegOpenKeyExW(root, kPolicyKey, 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExW(key.get(), kRequireSignedControls, nullptr, &type,
                           reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

// A 32-bit plug-in on 64-bit Windows sees its own registry view first; the
// 64-bit view is where a 64-bit tool writes (the flag means nothing on
// 32-bit Windows).
bool SignedControlsRequired() {
    for (const auto& [root, view] : {std::pair{HKEY_LOCAL_MACHINE, REGSAM{0}},
                                     std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_64KEY}},
                                     std::pair{HKEY_CURRENT_USER, REGSAM{0}}}) {
        if (const std::optional<DWORD> value = PolicyValue(root, view)) return *value != 0;
    }
    return false;
}

}  // namespace install
