// The page-script side of one running control: whether scripts may drive it
// (decided once, when the control is attached), its scriptable object and the
// session the object lives in (made on the first request), the control's
// events handed to the object's listeners, and the end of it all at
// teardown.
#pragma once

#include <memory>
#include <string>

#include <windows.h>
#include <oaidl.h>

#include "scripting/browser_calls.h"

namespace scripting {

class ControlScripting {
public:
    ControlScripting() = default;
    ControlScripting(const ControlScripting&) = delete;
    ControlScripting& operator=(const ControlScripting&) = delete;
    ~ControlScripting() { Close(); }

    // Takes the created control (borrowed: its site keeps it alive until
    // Close) and decides whether it may be scripted. A second call changes
    // nothing.
    // `named`: the class the page asked for; `effective`: the one the
    // platform created for it (see scripting_safety.h).
    void Attach(IUnknown* control, REFCLSID named, REFCLSID effective);
    bool safe() const { return safe_; }

    // A new reference (for the caller) to the control's scriptable object, or
    // null: no browser scripting, no control, a control that may not be
    // scripted, or closed. The object is made once per control.
    NPObject* ScriptableObject(const std::shared_ptr<BrowserCalls>& browser, NPP npp);

    // Delivers a control event to the page's listeners. Listeners may end the
    // instance: this object may be gone when the call returns.
    void FireEvent(const std::string& name, const DISPPARAMS& params);

    // Lets go of the object and closes the session: script references that
    // outlive the instance answer with an exception from now on. Must run
    // while the browser's functions still work, before the control goes.
    void Close();

private:
    IUnknown* control_ = nullptr;  // borrowed; null once closed
    bool attached_ = false;
    bool safe_ = false;
    std::shared_ptr<ScriptSession> session_;
    NPObject* object_ = nullptr;  // one reference, given back by Close
};

}  // namespace scripting
