// Taking over a reference that a call already counted for us. mingw-w64's
// ComPtr::Attach adds a reference of its own (unlike the documented
// behaviour), so a reference handed out by QueryInterface-like calls is
// adopted through here instead.
#pragma once

#include <wrl/client.h>

namespace fw {

template <typename T>
Microsoft::WRL::ComPtr<T> AdoptComPtr(T* counted) {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.GetAddressOf() = counted;
    return owner;
}

}  // namespace fw
