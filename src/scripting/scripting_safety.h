// Whether a page may drive a control (safe for scripting) and whether it may
// hand the control data of its own (safe for initialization: the saved state
// of its property file, its param-NAME attributes). Each is decided for the
// control as created, which is of the class the platform really made
// (`effective`, the end of the TreatAs chain of the `named` class):
// - its IObjectSafety accepts the option (then it is set on the control):
//   INTERFACESAFE_FOR_UNTRUSTED_CALLER for IDispatch, or
//   INTERFACESAFE_FOR_UNTRUSTED_DATA for a persistence interface it has
//   (IPersistStreamInit, IPersistStream, IPersistStorage, IPersistPropertyBag);
// - or both the named and the effective class are registered in the
//   component category (HKCR\CLSID\{...}\Implemented Categories): "safe for
//   scripting", or "safe for initializing".
// Anything else, a null control too, is not safe.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace scripting {

bool IsSafeForScripting(IUnknown* control, REFCLSID named, REFCLSID effective);
bool IsSafeForInitializing(IUnknown* control, REFCLSID named, REFCLSID effective);

}  // namespace scripting
