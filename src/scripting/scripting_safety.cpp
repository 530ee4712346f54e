#include "scripting/scripting_safety.h"

#include <string>

#include <objsafe.h>
#include <ocidl.h>
#include <wrl/client.h>

#include "framework/class_id_text.h"
#include "framework/unique_resource.h"

using Microsoft::WRL::ComPtr;

namespace scripting {
namespace {

constexpr wchar_t kSafeForScriptingKey[] = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
constexpr wchar_t kSafeForInitializingKey[] = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

// Whether `safety` takes `option` for `iid`: a control that says it does not
// support the option is not asked to set it.
bool AcceptsOption(IObjectSafety* safety, REFIID iid, DWORD option) {
    DWORD supported = 0;
    DWORD enabled = 0;
    if (SUCCEEDED(safety->GetInterfaceSafetyOptions(iid, &supported, &enabled)) &&
        !(supported & option)) {
        return false;
    }
    return SUCCEEDED(safety->SetInterfaceSafetyOptions(iid, option, option));
}

ComPtr<IObjectSafety> SafetyOf(IUnknown* control) {
    ComPtr<IObjectSafety> safety;
    if (control && SUCCEEDED(control->QueryInterface(
                       IID_IObjectSafety, reinterpret_cast<void**>(safety.GetAddressOf())))) {
        return safety;
    }
    return nullptr;
}

bool AcceptsUntrustedCallers(IUnknown* control) {
    const ComPtr<IObjectSafety> safety = SafetyOf(control);
    return safety && AcceptsOption(safety.Get(), IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER);
}

bool AcceptsUntrustedData(IUnknown* control) {
    const ComPtr<IObjectSafety> safety = SafetyOf(control);
    if (!safety) return false;
    for (const IID* iid : {&IID_IPersistStreamInit, &IID_IPersistStream, &IID_IPersistStorage,
                           &IID_IPersistPropertyBag}) {
        ComPtr<IUnknown> persistence;
        if (FAILED(control->QueryInterface(*iid, reinterpret_cast<void**>(persistence.GetAddressOf())))) {
            continue;
        }
        if (AcceptsOption(safety.Get(), *iid, INTERFACESAFE_FOR_UNTRUSTED_DATA)) return true;
    }
    return false;
}

bool InCategory(REFCLSID classId, const wchar_t* category) {
    const std::wstring path =
        L"CLSID\\" + fw::ClassIdText(classId) + L"\\Implemented Categories\\" + category;
    fw::UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool BothInCategory(REFCLSID named, REFCLSID effective, const wchar_t* category) {
    return InCategory(named, category) && (named == effective || InCategory(effective, category));
}

}  // namespace

bool IsSafeForScripting(IUnknown* control, REFCLSID named, REFCLSID effective) {
    if (!control) return false;
    return AcceptsUntrustedCallers(control) || BothInCategory(named, effective, kSafeForScriptingKey);
}

bool IsSafeForInitializing(IUnknown* control, REFCLSID named, REFCLSID effective) {
    if (!control) return false;
    return AcceptsUntrustedData(control) || BothInCategory(named, effective, kSafeForInitializingKey);
}

}  // namespace scripting
