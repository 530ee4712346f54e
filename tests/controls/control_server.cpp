// The DLL's COM server exports: the class factory, unloading, and
// self-registration (symmetric: unregistering removes everything that
// registering wrote).
#include <string>

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>
#include <wrl/client.h>

#include "control_module.h"
#include "control_variant.h"
#include "test_control.h"
#include "framework/unique_resource.h"

namespace test_control {
namespace {

class ClassFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // The factory is a static object: its lifetime is the module's.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (kCreationFails) return E_FAIL;
        return TestControl::Create(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        test_control::LockServer(lock != FALSE);
        return S_OK;
    }
};

ClassFactory factory;

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40];
    ::StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ClassKeyPath() { return L"CLSID\\" + GuidText(kClassId); }

// Writes `value` as the default (null `name`) or named string value of
// HKCR\`path`, creating the key.
bool WriteString(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    fw::UniqueHKey key;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteClassKeys(const std::wstring& modulePath) {
    const std::wstring base = ClassKeyPath();
    const std::wstring misc = std::to_wstring(kMiscStatus);
    return WriteString(base, nullptr, std::wstring(L"Nptrv test control (") + kVariantName + L")") &&
           WriteString(base + L"\\InprocServer32", nullptr, modulePath) &&
           WriteString(base + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
           WriteString(base + L"\\Control", nullptr, L"") &&
           WriteString(base + L"\\ProgID", nullptr, std::wstring(L"NptrvTest.") + kVariantName + L".1") &&
           WriteString(base + L"\\TypeLib", nullptr, GuidText(kLibraryId)) &&
           WriteString(base + L"\\Version", nullptr, L"1.0") &&
           WriteString(base + L"\\MiscStatus", nullptr, L"0") &&
           WriteString(base + L"\\MiscStatus\\1", nullptr, misc);
}

void DeleteClassKeys() {
    fw::UniqueHKey classes;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS, classes.put()) != ERROR_SUCCESS)
        return;
    ::RegDeleteTreeW(classes.get(), GuidText(kClassId).c_str());
}

HRESULT UnregisterLibrary() {
    HRESULT hr = ::UnRegisterTypeLib(kLibraryId, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    // A library that is not registered is already gone.
    return hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED ? S_OK : hr;
}

}  // namespace
}  // namespace test_control

using namespace test_control;

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != kClassId) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return CanUnload() ? S_OK : S_FALSE; }

// On failure everything written so far is removed again.
STDAPI DllRegisterServer() {
    const std::wstring path = ModulePath();
    EchoModuleCall("DllRegisterServer", Narrow(path));
    EndPageIfAsked("DllRegisterServer");
    if (path.empty()) return SELFREG_E_CLASS;
    if (!WriteClassKeys(path)) {
        DeleteClassKeys();
        return SELFREG_E_CLASS;
    }
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (SUCCEEDED(hr)) hr = ::RegisterTypeLib(library.Get(), const_cast<wchar_t*>(path.c_str()), nullptr);
    if (FAILED(hr)) {
        DeleteClassKeys();
        return SELFREG_E_TYPELIB;
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    DeleteClassKeys();
    return SUCCEEDED(UnregisterLibrary()) ? S_OK : SELFREG_E_TYPELIB;
}
