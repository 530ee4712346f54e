// Whether page scripts may drive a control: only a control that declares
// itself safe for untrusted callers. Either its IObjectSafety accepts
// INTERFACESAFE_FOR_UNTRUSTED_CALLER for IDispatch (the option is then set on
// the control), or its class is registered in the "safe for scripting"
// component category (HKCR\CLSID\{...}\Implemented Categories).
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace scripting {

bool IsSafeForScripting(IUnknown* control, REFCLSID classId);

}  // namespace scripting
