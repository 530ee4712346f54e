#include "framework/module_objects.h"

namespace fw {

bool PinModuleWhileObjectsLive() noexcept {
    if (ModuleObject::Live() <= 0) return false;
    HMODULE module = nullptr;
    return ::GetModuleHandleExW(
               GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
               reinterpret_cast<LPCWSTR>(&PinModuleWhileObjectsLive), &module) != FALSE;
}

}  // namespace fw
