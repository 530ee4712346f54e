#include "scripting/control_scripting.h"

#include <utility>

#include <wrl/client.h>

#include "scripting/dispatch_object.h"
#include "scripting/scripting_safety.h"

namespace scripting {

void ControlScripting::Attach(IUnknown* control, REFCLSID named, REFCLSID effective) {
    if (attached_ || !control) return;
    attached_ = true;
    control_ = control;
    safe_ = IsSafeForScripting(control, named, effective);
}

NPObject* ControlScripting::ScriptableObject(const std::shared_ptr<BrowserCalls>& browser, NPP npp) {
    if (!browser || !control_ || !safe_) return nullptr;
    if (!object_) {
        Microsoft::WRL::ComPtr<IDispatch> dispatch;
        if (FAILED(control_->QueryInterface(IID_PPV_ARGS(&dispatch))) || !dispatch) return nullptr;
        if (!session_) session_ = std::make_shared<ScriptSession>(browser, npp);
        object_ = DispatchObject::Create(session_, dispatch.Get());
        if (!object_) return nullptr;
    }
    return session_->browser().RetainObject(object_);
}

void ControlScripting::FireEvent(const std::string& name, const DISPPARAMS& params) {
    if (!object_ || !session_ || !session_->open()) return;
    // The object holds itself for the delivery: a listener that ends the
    // instance closes and destroys this one.
    DispatchObject::From(object_)->FireEvent(name, params);
}

void ControlScripting::Close() {
    control_ = nullptr;
    if (session_) session_->Release(std::exchange(object_, nullptr));
    if (session_) session_->Close();
    session_.reset();
}

}  // namespace scripting
