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

NPObject* ControlScripting::ScriptableObject(BrowserCalls* browser, NPP npp) {
    if (!browser || !control_ || !safe_) return nullptr;
    if (!object_) {
        Microsoft::WRL::ComPtr<IDispatch> dispatch;
        if (FAILED(control_->QueryInterface(IID_PPV_ARGS(&dispatch))) || !dispatch) return nullptr;
        if (!session_) session_ = std::make_shared<ScriptSession>(*browser, npp);
        object_ = DispatchObject::Create(session_, dispatch.Get());
        if (!object_) return nullptr;
    }
    return session_->browser().RetainObject(object_);
}

void ControlScripting::FireEvent(const std::string& name, const DISPPARAMS& params) {
    if (!object_ || !session_ || !session_->open()) return;
    // Held for the delivery, by locals only: a listener that ends the
    // instance closes this object and destroys it.
    const std::shared_ptr<ScriptSession> session = session_;
    BrowserCalls& browser = session->browser();
    NPObject* object = browser.RetainObject(object_);
    DispatchObject::From(object)->FireEvent(name, params);
    browser.ReleaseObject(object);
}

void ControlScripting::Close() {
    control_ = nullptr;
    if (NPObject* object = std::exchange(object_, nullptr)) {
        if (session_ && session_->open()) session_->browser().ReleaseObject(object);
    }
    if (session_) session_->Close();
    session_.reset();
}

}  // namespace scripting
