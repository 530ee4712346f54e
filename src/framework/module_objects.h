// Objects this library hands to code it does not control (a page's scripts,
// a hosted control) may be kept past the library's own shutdown: a browser
// unloads a plug-in after NP_Shutdown whatever its scripts still hold. Each
// such object has a ModuleObject member, which counts it while it lives;
// at shutdown, while any is counted, the module is pinned (it stays loaded
// until the process ends), so that no call into one of them, and no last
// Release, ever runs code of an unloaded library.
#pragma once

#include <windows.h>

namespace fw {

class ModuleObject {
public:
    ModuleObject() noexcept { ::InterlockedIncrement(&live_); }
    ModuleObject(const ModuleObject&) noexcept : ModuleObject() {}
    ModuleObject& operator=(const ModuleObject&) noexcept { return *this; }
    ~ModuleObject() { ::InterlockedDecrement(&live_); }

    static LONG Live() noexcept { return live_; }

private:
    static inline volatile LONG live_ = 0;
};

// Pins the module that holds this code when objects are still counted;
// true when it did (and then for good).
bool PinModuleWhileObjectsLive() noexcept;

}  // namespace fw
