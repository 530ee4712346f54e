// The scriptable object of a control: an NPObject whose properties and
// methods are the control's automation members, reached by name through its
// IDispatch (GetIDsOfNames; the type information tells methods from
// properties: a FUNCDESC's invoke kind, or a VARDESC). Calling the object
// itself calls the control's default member (DISPID_VALUE).
//
// It also keeps page listeners: addEventListener(name, function) and
// removeEventListener(name, function); FireEvent delivers a control event to
// the listeners of its name with its arguments converted.
//
// A failed call sets a script exception with the automation error's
// description. Once disconnected (the control gone, or the session closed),
// every call answers with an exception and nothing of the control is touched.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <oaidl.h>
#include <wrl/client.h>

#include "framework/module_objects.h"
#include "scripting/browser_calls.h"

namespace scripting {

class DispatchObject : public NPObject {
public:
    // A new object with one reference for the caller, or null.
    static NPObject* Create(const std::shared_ptr<ScriptSession>& session, IDispatch* dispatch);
    // The object if `object` is of this class, else null.
    static DispatchObject* From(NPObject* object);

    // The control's IDispatch, null once disconnected.
    IDispatch* dispatch() const { return dispatch_.Get(); }
    // Delivers an event to the listeners of `name`; the arguments are in
    // automation order (the last first). Listeners may end the instance;
    // the object stays valid for the call (it holds itself).
    void FireEvent(const std::string& name, const DISPPARAMS& params);
    // Lets go of the control and of the listeners (while the session is open).
    void Disconnect();

    static NPClass npClass;

private:
    struct Member {
        DISPID dispid;
        bool method;
        bool property;
    };
    friend struct DispatchObjectCalls;

    DispatchObject() = default;
    ~DispatchObject();
    const Member* Find(NPIdentifier name);
    bool Fail(const char* message);
    bool Enumerate(NPIdentifier*& names, uint32_t& count);
    bool Call(DISPID dispid, WORD flags, const NPVariant* args, uint32_t count, NPVariant* result);
    bool Listen(const NPVariant* args, uint32_t count, bool add);
    bool Usable();

    const fw::ModuleObject counted_;  // scripts may keep the object past shutdown
    std::shared_ptr<ScriptSession> session_;
    Microsoft::WRL::ComPtr<IDispatch> dispatch_;
    std::map<std::string, Member> members_;
    std::map<std::string, std::vector<NPObject*>> listeners_;  // one reference each
};

}  // namespace scripting
