#include "scripting/scripting_safety.h"

#include <string>

#include <objsafe.h>
#include <wrl/client.h>

#include "framework/class_id_text.h"
#include "framework/unique_resource.h"

using Microsoft::WRL::ComPtr;

namespace scripting {
namespace {

// The "safe for scripting" component category.
constexpr wchar_t kSafeForScriptingKey[] = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";

bool AcceptsUntrustedCallers(IUnknown* control) {
    ComPtr<IObjectSafety> safety;
    if (!control || FAILED(control->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(safety.GetAddressOf()))) ||
        !safety) {
        return false;
    }
    DWORD supported = 0;
    DWORD enabled = 0;
    if (SUCCEEDED(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled)) &&
        !(supported & INTERFACESAFE_FOR_UNTRUSTED_CALLER)) {
        return false;
    }
    return SUCCEEDED(safety->SetInterfaceSafetyOptions(IID_IDispatch,
                                                      INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                      INTERFACESAFE_FOR_UNTRUSTED_CALLER));
}

bool RegisteredSafe(REFCLSID classId) {
    const std::wstring path = L"CLSID\\" + fw::ClassIdText(classId) +
                              L"\\Implemented Categories\\" + kSafeForScriptingKey;
    fw::UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

}  // namespace

bool IsSafeForScripting(IUnknown* control, REFCLSID classId) {
    return AcceptsUntrustedCallers(control) || RegisteredSafe(classId);
}

}  // namespace scripting
