// Self-registration of a placed control file through its own exports.
#include <objbase.h>

#include "framework/unique_resource.h"
#include "install/control_registry_entry.h"

namespace install {

namespace {

void FreeComLibrary(HINSTANCE library) { ::CoFreeLibrary(library); }
using UniqueComLibrary = fw::UniqueResource<HINSTANCE, FreeComLibrary>;

using SelfRegistration = HRESULT(STDAPICALLTYPE*)();

}  // namespace

bool ControlRegistryEntry::RegisterServer(bool registerIt, const std::string& path) {
    // Declared first, so the library is freed before COM is uninitialised.
    const fw::ScopedCoInitialize com;
    if (!com.succeeded()) return false;
    const UniqueComLibrary library(::LoadLibraryA(path.c_str()));
    if (reinterpret_cast<UINT_PTR>(library.get()) <= 32) return false;
    const auto entry = reinterpret_cast<SelfRegistration>(
        ::GetProcAddress(library.get(), registerIt ? "DllRegisterServer" : "DllUnregisterServer"));
    return entry != nullptr && SUCCEEDED(entry());
}

}  // namespace install
