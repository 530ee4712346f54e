// The page's scripts: a JavaScript engine (Duktape) with the little of a
// page that plug-in pages use: `window`, `document.getElementById` and
// `document.embeds` (the plug-ins' scriptable objects), `console.log` (into
// the browser's log), `setTimeout`/`clearTimeout` (run by the page's loop).
//
// Plug-in objects appear to scripts as wrappers whose properties and methods
// are the object's own (NPClass calls); script values handed to the plug-in
// are objects of the browser's class whose calls run the script. Script
// errors, and exceptions the plug-in sets, become script exceptions; none of
// them crosses into the plug-in. When an instance goes, the scripts' wrappers
// of its objects let go of them and answer further use with an exception.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "browser.h"
#include "npruntime_host.h"

struct duk_hthread;

namespace nphost {

// Engine heap above which allocations fail (scripts see an error).
inline constexpr std::size_t kMaxScriptHeapBytes = 64u << 20;
// A script run (a page script, a timer, a call from the plug-in, with all
// it calls) is ended with an error after this long.
inline constexpr unsigned long kScriptTimeLimitMs = 3000;
// Timers waiting at once, and timer callbacks run per turn of the loop.
inline constexpr std::size_t kMaxPendingTimers = 10000;
inline constexpr int kMaxTimersPerTurn = 1000;

class ScriptEngine : public PageScripting {
public:
    // Serves `browser`'s NPN_GetValue and NPN_Evaluate while it lives.
    explicit ScriptEngine(Browser& browser);
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;
    // Lets go of every plug-in object (the plug-in must still be loaded).
    ~ScriptEngine() override;

    // The instance made for an <embed> with these attributes, in page order.
    void AddElement(Instance& instance, std::vector<std::pair<std::string, std::string>> attributes);

    // Runs a script of the page; false when it throws (logged as a script
    // error).
    bool Run(const std::string& code, const std::string& name);

    // Runs the timers that are due; returns how many ran.
    int RunDueTimers();
    std::size_t pendingTimers() const { return timers_.size(); }

    // PageScripting
    NPObject* WindowObject(NPP npp) override;
    NPObject* ElementObject(NPP npp) override;
    bool Evaluate(NPP npp, const std::string& script, NPVariant* result) override;

    // --- For the engine's own callbacks ---------------------------------------
    struct Wrapper {
        NPObject* object;  // one reference, held by the wrapper
        void* proxy;
        NPP owner;
    };
    struct Element {
        Instance* instance;
        std::vector<std::pair<std::string, std::string>> attributes;
        int wrapper = 0;  // the scriptable object's wrapper, once asked
    };
    struct Timer {
        unsigned long due;
        int id;
        bool operator<(const Timer& other) const {
            return due != other.due ? static_cast<long>(due - other.due) < 0 : id < other.id;
        }
    };
    static ScriptEngine& Of(duk_hthread* ctx);
    duk_hthread* context() const { return ctx_; }
    Browser& browser() { return browser_; }

    // Pushes the script value of a variant (an object's wrapper); false
    // (nothing pushed) when a string is too long.
    bool PushVariant(const NPVariant& variant);
    // The variant of the value at `index`; strings and objects are owned by
    // the variant. False when the value cannot cross (too long a string).
    bool ToVariant(int index, NPVariant& variant);
    // Pushes the wrapper of `object` (the value itself for a script object).
    void PushObject(NPObject* object);
    Wrapper* FindWrapper(int id);
    // The plug-in object behind a wrapper's proxy, or null.
    NPObject* WrappedObject(void* heapPointer);
    // A new reference to the browser object for the script value at `index`.
    NPObject* ScriptObjectFor(int index);
    void ForgetScriptObject(void* heapPointer, int key);
    // Pushes the scriptable object of element `index` (null when none).
    void PushScriptable(std::size_t index);
    std::vector<Element>& elements() { return elements_; }
    int AddTimer(unsigned long delay);
    void ClearTimer(int id);

private:
    void DefineGlobals();
    void DropObjectsOf(NPP npp);
    void ReleaseWrapper(int id);

    Browser& browser_;
    duk_hthread* ctx_ = nullptr;
    int nextId_ = 1;
    std::map<int, Wrapper> wrappers_;
    std::map<NPObject*, int> wrapperOfObject_;
    std::map<void*, int> wrapperOfProxy_;
    std::map<void*, NPObject*> scriptObjects_;  // script value -> its browser object
    std::vector<Element> elements_;
    std::set<Timer> timers_;
};

}  // namespace nphost
