#include "scripting/browser_calls.h"

#include "scripting/dispatch_object.h"
#include "scripting/script_dispatch.h"

namespace scripting {

std::string TableBrowserCalls::NameOf(NPIdentifier identifier) {
    if (!table_ || !identifier || !table_->identifierisstring(identifier)) return {};
    struct Text {
        const NPNetscapeFuncs& table;
        NPUTF8* text;
        ~Text() {
            if (text) table.memfree(text);
        }
    } name{*table_, table_->utf8fromidentifier(identifier)};
    return name.text ? name.text : "";  // the browser's copy is freed even if this throws
}

void ScriptSession::Close() {
    if (!open_) return;
    open_ = false;  // what the releases below set off finds the session closed
    // Disconnecting may release other objects, which leave the sets
    // themselves: each is taken off before it is disconnected.
    while (!scriptDispatches_.empty()) {
        ScriptDispatch* dispatch = *scriptDispatches_.begin();
        scriptDispatches_.erase(scriptDispatches_.begin());
        dispatch->Disconnect();
    }
    while (!dispatchObjects_.empty()) {
        DispatchObject* object = *dispatchObjects_.begin();
        dispatchObjects_.erase(dispatchObjects_.begin());
        object->Disconnect();
    }
}

}  // namespace scripting
