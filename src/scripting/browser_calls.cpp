#include "scripting/browser_calls.h"

#include <vector>

#include "scripting/dispatch_object.h"
#include "scripting/script_dispatch.h"

namespace scripting {

std::string TableBrowserCalls::NameOf(NPIdentifier identifier) {
    if (!identifier || !table_.identifierisstring(identifier)) return {};
    NPUTF8* text = table_.utf8fromidentifier(identifier);
    std::string name = text ? text : "";
    if (text) table_.memfree(text);
    return name;
}

void ScriptSession::Close() {
    if (!browser_) return;
    // Disconnecting may release objects that unregister themselves: work on
    // copies.
    const std::vector<ScriptDispatch*> dispatches(scriptDispatches_.begin(), scriptDispatches_.end());
    for (ScriptDispatch* dispatch : dispatches) {
        if (scriptDispatches_.count(dispatch)) dispatch->Disconnect();
    }
    const std::vector<DispatchObject*> objects(dispatchObjects_.begin(), dispatchObjects_.end());
    for (DispatchObject* object : objects) {
        if (dispatchObjects_.count(object)) object->Disconnect();
    }
    browser_ = nullptr;
}

}  // namespace scripting
