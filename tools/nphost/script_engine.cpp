#include "script_engine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "duktape.h"

namespace nphost {
namespace {

// Stash slots: wrappers by id, script values handed to the plug-in by key,
// timer callbacks by id, the proxy handler, and the engine itself.
constexpr char kWrappers[] = "wrappers";
constexpr char kScriptValues[] = "values";
constexpr char kTimers[] = "timers";
constexpr char kHandler[] = "handler";
constexpr char kEngine[] = "engine";
#define HIDDEN_ID DUK_HIDDEN_SYMBOL("id")
#define HIDDEN_NAME DUK_HIDDEN_SYMBOL("name")

// --- The engine's heap: allocations counted and capped -------------------------

struct HeapUse {
    std::size_t bytes = 0;
    int depth = 0;               // protected calls under way
    unsigned long deadline = 0;  // of the outermost one
};
constexpr std::size_t kBlockHeader = 16;

void* HeapAlloc(void* udata, duk_size_t size) {
    auto* use = static_cast<HeapUse*>(udata);
    if (size == 0) return nullptr;
    if (size > kMaxScriptHeapBytes - use->bytes) return nullptr;
    auto* block = static_cast<char*>(std::malloc(size + kBlockHeader));
    if (!block) return nullptr;
    std::memcpy(block, &size, sizeof size);
    use->bytes += size;
    return block + kBlockHeader;
}

void HeapFree(void* udata, void* pointer) {
    if (!pointer) return;
    char* block = static_cast<char*>(pointer) - kBlockHeader;
    std::size_t size;
    std::memcpy(&size, block, sizeof size);
    static_cast<HeapUse*>(udata)->bytes -= size;
    std::free(block);
}

void* HeapRealloc(void* udata, void* pointer, duk_size_t size) {
    if (!pointer) return HeapAlloc(udata, size);
    if (size == 0) {
        HeapFree(udata, pointer);
        return nullptr;
    }
    char* block = static_cast<char*>(pointer) - kBlockHeader;
    std::size_t old;
    std::memcpy(&old, block, sizeof old);
    auto* use = static_cast<HeapUse*>(udata);
    if (size > old && size - old > kMaxScriptHeapBytes - use->bytes) return nullptr;
    auto* grown = static_cast<char*>(std::realloc(block, size + kBlockHeader));
    if (!grown) return nullptr;
    std::memcpy(grown, &size, sizeof size);
    use->bytes = use->bytes - old + size;
    return grown + kBlockHeader;
}

HeapUse heapUse;

// Reached only by an error outside every protected call, which the engine
// never makes; ends the process with a message rather than undefined state.
void Fatal(void*, const char* message) {
    std::fprintf(stderr, "nphost: script engine failure: %s\n", message ? message : "");
    std::fflush(stderr);
    std::_Exit(70);
}

// Runs `work` protected: a script error or an engine error (thrown as a C++
// exception by the engine) ends the call and is logged, never escapes.
template <typename Work>
bool Protected(duk_context* ctx, const char* what, Work&& work) {
    if (heapUse.depth++ == 0) heapUse.deadline = ::GetTickCount() + kScriptTimeLimitMs;
    struct Call {
        Work* work;
        bool ok;
    } call{&work, false};
    const duk_int_t rc = duk_safe_call(
        ctx,
        [](duk_context* c, void* udata) -> duk_ret_t {
            auto* call = static_cast<Call*>(udata);
            call->ok = (*call->work)(c);
            return 0;
        },
        &call, 0, 1);
    if (rc != DUK_EXEC_SUCCESS) {
        std::string message;
        if (duk_is_error(ctx, -1)) {
            duk_get_prop_string(ctx, -1, "stack");
            message = duk_is_string(ctx, -1) ? duk_get_string(ctx, -1) : "";
            duk_pop(ctx);
        }
        if (message.empty()) message = duk_safe_to_string(ctx, -1);
        RuntimeLog(std::string("   script error (") + what + "): " + message);
    }
    duk_pop(ctx);
    --heapUse.depth;
    return rc == DUK_EXEC_SUCCESS && call.ok;
}

// Owns variants handed to the plug-in for one call.
class VariantList {
public:
    VariantList() = default;
    VariantList(const VariantList&) = delete;
    VariantList& operator=(const VariantList&) = delete;
    ~VariantList() {
        for (NPVariant& v : items_) ReleaseVariantValue(&v);
    }
    NPVariant& Add() {
        items_.emplace_back();
        VOID_TO_NPVARIANT(items_.back());
        return items_.back();
    }
    const NPVariant* data() const { return items_.empty() ? nullptr : items_.data(); }
    uint32_t size() const { return static_cast<uint32_t>(items_.size()); }

private:
    std::vector<NPVariant> items_;
};

// Owns a variant a callee handed back.
class VariantResult {
public:
    VariantResult() { VOID_TO_NPVARIANT(value_); }
    VariantResult(const VariantResult&) = delete;
    VariantResult& operator=(const VariantResult&) = delete;
    ~VariantResult() { ReleaseVariantValue(&value_); }
    NPVariant* get() { return &value_; }
    const NPVariant& operator*() const { return value_; }

private:
    NPVariant value_;
};

// One crossing from script into the plug-in, refused beyond the depth limit.
class Crossing {
public:
    Crossing() : entered_(EnterCrossing()) {}
    Crossing(const Crossing&) = delete;
    Crossing& operator=(const Crossing&) = delete;
    ~Crossing() {
        if (entered_) LeaveCrossing();
    }
    bool entered() const { return entered_; }

private:
    bool entered_;
};

[[noreturn]] void Throw(duk_context* ctx, duk_errcode_t code, const std::string& message) {
    duk_push_error_object(ctx, code, "%s", message.c_str());
    duk_throw(ctx);
    std::abort();  // not reached: duk_throw does not return
}

// The exception a failed plug-in call becomes: the plug-in's message if it
// set one, else `fallback`.
[[noreturn]] void ThrowFailure(duk_context* ctx, const std::string& fallback) {
    const std::optional<std::string> message = TakeException();
    Throw(ctx, DUK_ERR_ERROR, message ? *message : fallback);
}

NPIdentifier IdentifierForKey(const char* key) {
    const std::size_t length = std::strlen(key);
    bool index = length > 0 && length <= 9 && (key[0] != '0' || length == 1);
    for (std::size_t i = 0; index && i < length; ++i) index = key[i] >= '0' && key[i] <= '9';
    return index ? IntIdentifier(std::atoi(key)) : StringIdentifier(key);
}

// The wrapper of the trap's target (argument 0) or of the running function.
ScriptEngine::Wrapper& WrapperAt(duk_context* ctx, duk_idx_t index) {
    duk_get_prop_string(ctx, index, HIDDEN_ID);
    const int id = duk_get_int(ctx, -1);
    duk_pop(ctx);
    ScriptEngine::Wrapper* wrapper = ScriptEngine::Of(ctx).FindWrapper(id);
    if (!wrapper) Throw(ctx, DUK_ERR_REFERENCE_ERROR, "the plug-in object is gone");
    return *wrapper;
}

ScriptEngine::Wrapper& CurrentWrapper(duk_context* ctx) {
    duk_push_current_function(ctx);
    ScriptEngine::Wrapper& wrapper = WrapperAt(ctx, -1);
    duk_pop(ctx);
    return wrapper;
}

// Converts the arguments from `first` to the top into `list`.
void CollectArguments(duk_context* ctx, duk_idx_t first, VariantList& list) {
    ScriptEngine& engine = ScriptEngine::Of(ctx);
    const duk_idx_t top = duk_get_top(ctx);
    for (duk_idx_t i = first; i < top; ++i) {
        if (!engine.ToVariant(i, list.Add())) Throw(ctx, DUK_ERR_RANGE_ERROR, "a string is too long");
    }
}

void PushResult(duk_context* ctx, const NPVariant& result) {
    if (!ScriptEngine::Of(ctx).PushVariant(result)) Throw(ctx, DUK_ERR_RANGE_ERROR, "a string is too long");
}

void RequireCrossing(duk_context* ctx, const Crossing& crossing) {
    if (!crossing.entered()) {
        Throw(ctx, DUK_ERR_RANGE_ERROR, "too many nested calls between the page and the plug-in");
    }
}

// --- Wrappers of plug-in objects: the proxy's target and traps --------------

// Calling the wrapper: the object's default method.
duk_ret_t CallObject(duk_context* ctx) {
    NPObject* object = CurrentWrapper(ctx).object;
    VariantList args;
    CollectArguments(ctx, 0, args);
    Crossing crossing;
    RequireCrossing(ctx, crossing);
    VariantResult result;
    if (!ObjectInvokeDefault(object, args.data(), args.size(), result.get())) {
        ThrowFailure(ctx, "the plug-in object cannot be called");
    }
    PushResult(ctx, *result);
    return 1;
}

// A method of a plug-in object, as a function value: calls Invoke by name.
duk_ret_t CallMethod(duk_context* ctx) {
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, HIDDEN_NAME);
    const std::string name = duk_get_string(ctx, -1);
    duk_pop(ctx);
    NPObject* object = WrapperAt(ctx, -1).object;
    duk_pop(ctx);
    VariantList args;
    CollectArguments(ctx, 0, args);
    Crossing crossing;
    RequireCrossing(ctx, crossing);
    VariantResult result;
    if (!ObjectInvoke(object, StringIdentifier(name), args.data(), args.size(), result.get())) {
        ThrowFailure(ctx, "the plug-in's method " + name + " failed");
    }
    PushResult(ctx, *result);
    return 1;
}

duk_ret_t ObjectToString(duk_context* ctx) {
    duk_push_string(ctx, "[object NPObject]");
    return 1;
}

// get(target, key, receiver)
duk_ret_t TrapGet(duk_context* ctx) {
    if (!duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) return 0;
    const std::string key = duk_get_string(ctx, 1);
    NPObject* object = WrapperAt(ctx, 0).object;
    const NPIdentifier name = IdentifierForKey(key.c_str());
    Crossing crossing;
    RequireCrossing(ctx, crossing);
    if (ObjectHasProperty(object, name)) {
        VariantResult result;
        if (!ObjectGetProperty(object, name, result.get())) {
            ThrowFailure(ctx, "the plug-in's property " + key + " cannot be read");
        }
        PushResult(ctx, *result);
        return 1;
    }
    if (ObjectHasMethod(object, name)) {
        duk_push_c_function(ctx, CallMethod, DUK_VARARGS);
        duk_get_prop_string(ctx, 0, HIDDEN_ID);
        duk_put_prop_string(ctx, -2, HIDDEN_ID);
        duk_push_string(ctx, key.c_str());
        duk_put_prop_string(ctx, -2, HIDDEN_NAME);
        return 1;
    }
    if (TakeException()) RuntimeLog("   (exception of a failed lookup dropped)");
    if (key == "toString") {
        duk_push_c_function(ctx, ObjectToString, 0);
        return 1;
    }
    return 0;
}

// set(target, key, value, receiver)
duk_ret_t TrapSet(duk_context* ctx) {
    if (!duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) {
        Throw(ctx, DUK_ERR_TYPE_ERROR, "a plug-in object takes only named properties");
    }
    const std::string key = duk_get_string(ctx, 1);
    NPObject* object = WrapperAt(ctx, 0).object;
    VariantList value;
    if (!ScriptEngine::Of(ctx).ToVariant(2, value.Add())) {
        Throw(ctx, DUK_ERR_RANGE_ERROR, "a string is too long");
    }
    Crossing crossing;
    RequireCrossing(ctx, crossing);
    if (!ObjectSetProperty(object, IdentifierForKey(key.c_str()), value.data())) {
        ThrowFailure(ctx, "the plug-in's property " + key + " cannot be set");
    }
    duk_push_true(ctx);
    return 1;
}

// has(target, key)
duk_ret_t TrapHas(duk_context* ctx) {
    if (!duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) {
        duk_push_false(ctx);
        return 1;
    }
    const std::string key = duk_get_string(ctx, 1);
    NPObject* object = WrapperAt(ctx, 0).object;
    const NPIdentifier name = IdentifierForKey(key.c_str());
    Crossing crossing;
    RequireCrossing(ctx, crossing);
    duk_push_boolean(ctx, ObjectHasProperty(object, name) || ObjectHasMethod(object, name));
    return 1;
}

// deleteProperty(target, key)
duk_ret_t TrapDelete(duk_context* ctx) {
    if (!duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) {
        duk_push_true(ctx);
        return 1;
    }
    const std::string key = duk_get_string(ctx, 1);
    NPObject* object = WrapperAt(ctx, 0).object;
    Crossing crossing;
    RequireCrossing(ctx, crossing);
    duk_push_boolean(ctx, ObjectRemoveProperty(object, IdentifierForKey(key.c_str())));
    return 1;
}

// ownKeys(target): the object's enumeration, as strings.
duk_ret_t TrapOwnKeys(duk_context* ctx) {
    NPObject* object = WrapperAt(ctx, 0).object;
    Crossing crossing;
    RequireCrossing(ctx, crossing);
    NPIdentifier* names = nullptr;
    uint32_t count = 0;
    const bool ok = ObjectEnumerate(object, &names, &count);
    duk_push_array(ctx);
    if (ok) {
        std::vector<std::string> keys;
        for (uint32_t i = 0; i < count; ++i) {
            const std::string text = IdentifierText(names[i]);
            keys.push_back(IdentifierIsString(names[i]) ? text : text.substr(1));
        }
        Browser::Free(names);  // the plug-in allocated it with NPN_MemAlloc
        for (std::size_t i = 0; i < keys.size(); ++i) {
            duk_push_string(ctx, keys[i].c_str());
            duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
            // The engine lists a proxy's keys for Object.keys and for-in only
            // where the target has them enumerable: a placeholder each (the
            // traps still answer every access).
            if (!duk_has_prop_string(ctx, 0, keys[i].c_str())) {
                duk_push_string(ctx, keys[i].c_str());
                duk_push_undefined(ctx);
                duk_def_prop(ctx, 0, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_ENUMERABLE |
                                         DUK_DEFPROP_SET_CONFIGURABLE | DUK_DEFPROP_SET_WRITABLE);
            }
        }
    }
    return 1;
}

// --- The browser's class for script values handed to the plug-in -----------

struct ScriptObject : NPObject {
    ScriptEngine* engine;
    void* value;  // heap pointer of the value, kept in the stash under `key`
    int key;
};

ScriptObject* AsScriptObject(NPObject* object);

NPObject* AllocateScriptObject(NPP, NPClass*) {
    auto* object = new ScriptObject{};
    return object;
}

void DeallocateScriptObject(NPObject* object) {
    auto* self = static_cast<ScriptObject*>(object);
    if (self->engine) self->engine->ForgetScriptObject(self->value, self->key);
    delete self;
}

// Pushes the script value; false when the engine is gone.
bool PushValue(duk_context* ctx, ScriptObject* self) {
    if (!self->engine) return false;
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, kScriptValues);
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(self->key));
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
    return true;
}

std::string KeyOf(NPIdentifier name) {
    const std::string text = IdentifierText(name);
    return IdentifierIsString(name) ? text : text.substr(1);
}

// Runs `work` on a script value for the plug-in: protected, within the
// crossing limit; false (logged) when the script throws or the engine is gone.
template <typename Work>
bool OnScriptValue(NPObject* object, const char* what, Work&& work) {
    ScriptObject* self = AsScriptObject(object);
    if (!self || !self->engine) return false;
    Crossing crossing;
    if (!crossing.entered()) {
        RuntimeLog("   (too many nested calls between the page and the plug-in: refused)");
        return false;
    }
    duk_context* ctx = self->engine->context();
    return Protected(ctx, what, [&](duk_context* c) {
        PushValue(c, self);
        return work(c, *self->engine);
    });
}

bool ScriptHasMethod(NPObject* object, NPIdentifier name) {
    return OnScriptValue(object, "hasMethod", [&](duk_context* c, ScriptEngine&) {
        return duk_is_object(c, -1) && duk_get_prop_string(c, -1, KeyOf(name).c_str()) &&
               duk_is_callable(c, -1);
    });
}

bool ScriptInvoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
                  NPVariant* result) {
    if (!result) return false;
    VOID_TO_NPVARIANT(*result);
    return OnScriptValue(object, "invoke", [&](duk_context* c, ScriptEngine& engine) {
        const std::string key = KeyOf(name);
        duk_push_string(c, key.c_str());
        for (uint32_t i = 0; i < count; ++i) {
            if (!engine.PushVariant(args[i])) return false;
        }
        duk_call_prop(c, -2 - static_cast<duk_idx_t>(count), static_cast<duk_idx_t>(count));
        return engine.ToVariant(-1, *result);
    });
}

bool ScriptInvokeDefault(NPObject* object, const NPVariant* args, uint32_t count,
                         NPVariant* result) {
    if (!result) return false;
    VOID_TO_NPVARIANT(*result);
    return OnScriptValue(object, "invokeDefault", [&](duk_context* c, ScriptEngine& engine) {
        if (!duk_is_callable(c, -1)) return false;
        duk_push_undefined(c);
        for (uint32_t i = 0; i < count; ++i) {
            if (!engine.PushVariant(args[i])) return false;
        }
        duk_call_method(c, static_cast<duk_idx_t>(count));
        return engine.ToVariant(-1, *result);
    });
}

bool ScriptHasProperty(NPObject* object, NPIdentifier name) {
    return OnScriptValue(object, "hasProperty", [&](duk_context* c, ScriptEngine&) {
        return duk_is_object(c, -1) && duk_has_prop_string(c, -1, KeyOf(name).c_str());
    });
}

bool ScriptGetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
    if (!result) return false;
    VOID_TO_NPVARIANT(*result);
    return OnScriptValue(object, "getProperty", [&](duk_context* c, ScriptEngine& engine) {
        if (!duk_is_object(c, -1)) return false;
        duk_get_prop_string(c, -1, KeyOf(name).c_str());
        return engine.ToVariant(-1, *result);
    });
}

bool ScriptSetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
    if (!value) return false;
    return OnScriptValue(object, "setProperty", [&](duk_context* c, ScriptEngine& engine) {
        if (!duk_is_object(c, -1) || !engine.PushVariant(*value)) return false;
        duk_put_prop_string(c, -2, KeyOf(name).c_str());
        return true;
    });
}

bool ScriptRemoveProperty(NPObject* object, NPIdentifier name) {
    return OnScriptValue(object, "removeProperty", [&](duk_context* c, ScriptEngine&) {
        return duk_is_object(c, -1) && duk_del_prop_string(c, -1, KeyOf(name).c_str());
    });
}

bool ScriptEnumerate(NPObject* object, NPIdentifier** names, uint32_t* count) {
    if (!names || !count) return false;
    *names = nullptr;
    *count = 0;
    std::vector<NPIdentifier> found;
    const bool ok = OnScriptValue(object, "enumerate", [&](duk_context* c, ScriptEngine&) {
        if (!duk_is_object(c, -1)) return false;
        duk_enum(c, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
        while (duk_next(c, -1, 0)) {
            found.push_back(IdentifierForKey(duk_safe_to_string(c, -1)));
            duk_pop(c);
        }
        return true;
    });
    if (!ok) return false;
    auto* block = static_cast<NPIdentifier*>(Browser::Allocate(sizeof(NPIdentifier) * found.size()));
    if (!block) return false;
    std::copy(found.begin(), found.end(), block);
    *names = block;
    *count = static_cast<uint32_t>(found.size());
    return true;
}

NPClass scriptObjectClass = {
    NP_CLASS_STRUCT_VERSION_ENUM, AllocateScriptObject, DeallocateScriptObject, nullptr,
    ScriptHasMethod, ScriptInvoke, ScriptInvokeDefault, ScriptHasProperty, ScriptGetProperty,
    ScriptSetProperty, ScriptRemoveProperty, ScriptEnumerate, nullptr};

ScriptObject* AsScriptObject(NPObject* object) {
    return object && object->_class == &scriptObjectClass ? static_cast<ScriptObject*>(object)
                                                          : nullptr;
}

// Engines whose script objects are still referenced by the plug-in.
std::set<ScriptObject*> liveScriptObjects;

// --- The page's globals ------------------------------------------------------------

duk_ret_t ConsoleLog(duk_context* ctx) {
    std::string line;
    const duk_idx_t count = duk_get_top(ctx);
    for (duk_idx_t i = 0; i < count; ++i) {
        if (i) line += ' ';
        line += duk_safe_to_string(ctx, i);
        if (line.size() > 4096) {
            line.resize(4096);
            line += "...";
            break;
        }
    }
    RuntimeLog("   console.log " + line);
    return 0;
}

duk_ret_t SetTimeout(duk_context* ctx) {
    if (!duk_is_callable(ctx, 0)) Throw(ctx, DUK_ERR_TYPE_ERROR, "setTimeout expects a function");
    const double delay = duk_get_number_default(ctx, 1, 0);
    ScriptEngine& engine = ScriptEngine::Of(ctx);
    if (engine.pendingTimers() >= kMaxPendingTimers) Throw(ctx, DUK_ERR_RANGE_ERROR, "too many timers");
    const unsigned long ms =
        std::isfinite(delay) && delay > 0 ? static_cast<unsigned long>(std::min(delay, 864e5)) : 0;
    const int id = engine.AddTimer(ms);
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, kTimers);
    duk_dup(ctx, 0);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(id));
    duk_push_int(ctx, id);
    return 1;
}

duk_ret_t ClearTimeout(duk_context* ctx) {
    ScriptEngine::Of(ctx).ClearTimer(duk_get_int_default(ctx, 0, 0));
    return 0;
}

duk_ret_t GetElementById(duk_context* ctx) {
    const std::string id = duk_safe_to_string(ctx, 0);
    ScriptEngine& engine = ScriptEngine::Of(ctx);
    for (std::size_t i = 0; i < engine.elements().size(); ++i) {
        for (const auto& [name, value] : engine.elements()[i].attributes) {
            if (_stricmp(name.c_str(), "id") == 0 && value == id) {
                engine.PushScriptable(i);
                return 1;
            }
        }
    }
    duk_push_null(ctx);
    return 1;
}

duk_ret_t GetEmbeds(duk_context* ctx) {
    ScriptEngine& engine = ScriptEngine::Of(ctx);
    duk_push_array(ctx);
    for (std::size_t i = 0; i < engine.elements().size(); ++i) {
        engine.PushScriptable(i);
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
    }
    return 1;
}

void PutFunction(duk_context* ctx, const char* name, duk_c_function function, duk_idx_t args) {
    duk_push_c_function(ctx, function, args);
    duk_put_prop_string(ctx, -2, name);
}

}  // namespace
}  // namespace nphost

// The engine's timeout check (see CMakeLists.txt): true once the outermost
// protected call has run for kScriptTimeLimitMs.
int NphostScriptTimedOut(void* udata) {
    const auto* use = static_cast<const nphost::HeapUse*>(udata);
    return use->depth > 0 && static_cast<long>(::GetTickCount() - use->deadline) >= 0;
}

namespace nphost {

// --- ScriptEngine --------------------------------------------------------------------

ScriptEngine::ScriptEngine(Browser& browser) : browser_(browser) {
    ctx_ = duk_create_heap(HeapAlloc, HeapRealloc, HeapFree, &heapUse, Fatal);
    if (!ctx_) {
        RuntimeLog("   (the script engine could not start)");
        return;
    }
    Protected(ctx_, "start", [this](duk_context* c) {
        duk_push_heap_stash(c);
        duk_push_pointer(c, this);
        duk_put_prop_string(c, -2, kEngine);
        for (const char* slot : {kWrappers, kScriptValues, kTimers}) {
            duk_push_object(c);
            duk_put_prop_string(c, -2, slot);
        }
        duk_push_object(c);
        PutFunction(c, "get", TrapGet, 3);
        PutFunction(c, "set", TrapSet, 4);
        PutFunction(c, "has", TrapHas, 2);
        PutFunction(c, "deleteProperty", TrapDelete, 2);
        PutFunction(c, "ownKeys", TrapOwnKeys, 1);
        duk_put_prop_string(c, -2, kHandler);
        duk_pop(c);
        DefineGlobals();
        return true;
    });
    SetPageScripting(this);
    browser_.beforeDestroy = [this](Instance& instance) { DropObjectsOf(instance.npp()); };
}

ScriptEngine::~ScriptEngine() {
    SetPageScripting(nullptr);
    browser_.beforeDestroy = nullptr;
    while (!wrappers_.empty()) ReleaseWrapper(wrappers_.begin()->first);
    for (ScriptObject* object : liveScriptObjects) {
        if (object->engine == this) object->engine = nullptr;
    }
    if (ctx_) duk_destroy_heap(ctx_);
}

ScriptEngine& ScriptEngine::Of(duk_context* ctx) {
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, kEngine);
    auto* engine = static_cast<ScriptEngine*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return *engine;
}

void ScriptEngine::DefineGlobals() {
    duk_push_global_object(ctx_);
    duk_push_global_object(ctx_);
    duk_put_prop_string(ctx_, -2, "window");
    duk_push_object(ctx_);
    PutFunction(ctx_, "log", ConsoleLog, DUK_VARARGS);
    duk_put_prop_string(ctx_, -2, "console");
    PutFunction(ctx_, "setTimeout", SetTimeout, DUK_VARARGS);
    PutFunction(ctx_, "clearTimeout", ClearTimeout, 1);
    duk_push_object(ctx_);
    PutFunction(ctx_, "getElementById", GetElementById, 1);
    duk_push_string(ctx_, "embeds");
    duk_push_c_function(ctx_, GetEmbeds, 0);
    duk_def_prop(ctx_, -3, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_SET_ENUMERABLE);
    duk_put_prop_string(ctx_, -2, "document");
    duk_pop(ctx_);
}

void ScriptEngine::AddElement(Instance& instance,
                              std::vector<std::pair<std::string, std::string>> attributes) {
    elements_.push_back({&instance, std::move(attributes)});
}

bool ScriptEngine::Run(const std::string& code, const std::string& name) {
    if (!ctx_) return false;
    RuntimeLog("   script " + name);
    return Protected(ctx_, name.c_str(), [&](duk_context* c) {
        duk_push_string(c, name.c_str());
        duk_compile_lstring_filename(c, 0, code.data(), code.size());
        duk_call(c, 0);
        return true;
    });
}

int ScriptEngine::AddTimer(unsigned long delay) {
    const int id = nextId_++;
    timers_.insert({::GetTickCount() + delay, id});
    return id;
}

void ScriptEngine::ClearTimer(int id) {
    std::erase_if(timers_, [id](const Timer& timer) { return timer.id == id; });
    Protected(ctx_, "clearTimeout", [id](duk_context* c) {
        duk_push_heap_stash(c);
        duk_get_prop_string(c, -1, kTimers);
        duk_del_prop_index(c, -1, static_cast<duk_uarridx_t>(id));
        return true;
    });
}

int ScriptEngine::RunDueTimers() {
    int ran = 0;
    while (ctx_ && ran < kMaxTimersPerTurn && !timers_.empty() &&
           static_cast<long>(::GetTickCount() - timers_.begin()->due) >= 0) {
        const int id = timers_.begin()->id;
        timers_.erase(timers_.begin());
        ++ran;
        Protected(ctx_, "timer", [id](duk_context* c) {
            duk_push_heap_stash(c);
            duk_get_prop_string(c, -1, kTimers);
            duk_get_prop_index(c, -1, static_cast<duk_uarridx_t>(id));
            duk_del_prop_index(c, -2, static_cast<duk_uarridx_t>(id));
            if (!duk_is_callable(c, -1)) return true;
            duk_call(c, 0);
            return true;
        });
    }
    return ran;
}

ScriptEngine::Wrapper* ScriptEngine::FindWrapper(int id) {
    auto found = wrappers_.find(id);
    return found == wrappers_.end() ? nullptr : &found->second;
}

NPObject* ScriptEngine::WrappedObject(void* heapPointer) {
    auto found = wrapperOfProxy_.find(heapPointer);
    return found == wrapperOfProxy_.end() ? nullptr : wrappers_.at(found->second).object;
}

void ScriptEngine::PushObject(NPObject* object) {
    if (!object) {
        duk_push_null(ctx_);
        return;
    }
    if (ScriptObject* script = AsScriptObject(object); script && script->engine == this) {
        PushValue(ctx_, script);
        return;
    }
    if (auto found = wrapperOfObject_.find(object); found != wrapperOfObject_.end()) {
        duk_push_heapptr(ctx_, wrappers_.at(found->second).proxy);
        return;
    }
    const int id = nextId_++;
    duk_push_c_function(ctx_, CallObject, DUK_VARARGS);  // the target
    duk_push_int(ctx_, id);
    duk_put_prop_string(ctx_, -2, HIDDEN_ID);
    duk_push_heap_stash(ctx_);
    duk_get_prop_string(ctx_, -1, kHandler);
    duk_remove(ctx_, -2);
    duk_push_proxy(ctx_, 0);
    void* proxy = duk_get_heapptr(ctx_, -1);
    duk_push_heap_stash(ctx_);
    duk_get_prop_string(ctx_, -1, kWrappers);
    duk_dup(ctx_, -3);
    duk_put_prop_index(ctx_, -2, static_cast<duk_uarridx_t>(id));
    duk_pop_2(ctx_);
    wrappers_[id] = {RetainObject(object), proxy, OwnerOf(object)};
    wrapperOfObject_[object] = id;
    wrapperOfProxy_[proxy] = id;
}

void ScriptEngine::ReleaseWrapper(int id) {
    auto found = wrappers_.find(id);
    if (found == wrappers_.end()) return;
    const Wrapper wrapper = found->second;
    wrappers_.erase(found);
    wrapperOfObject_.erase(wrapper.object);
    wrapperOfProxy_.erase(wrapper.proxy);
    if (ctx_) {
        Protected(ctx_, "release", [id](duk_context* c) {
            duk_push_heap_stash(c);
            duk_get_prop_string(c, -1, kWrappers);
            duk_del_prop_index(c, -1, static_cast<duk_uarridx_t>(id));
            return true;
        });
    }
    RuntimeLog("   (the page lets go of " + ObjectName(wrapper.object) + ")");
    ReleaseObject(wrapper.object);
}

void ScriptEngine::DropObjectsOf(NPP npp) {
    std::vector<int> owned;
    for (const auto& [id, wrapper] : wrappers_) {
        if (wrapper.owner == npp) owned.push_back(id);
    }
    for (Element& element : elements_) {
        if (element.instance->npp() == npp && element.wrapper) owned.push_back(element.wrapper);
    }
    for (int id : owned) ReleaseWrapper(id);
    InvalidateObjectsOf(npp);
}

bool ScriptEngine::PushVariant(const NPVariant& variant) {
    switch (variant.type) {
    case NPVariantType_Void: duk_push_undefined(ctx_); return true;
    case NPVariantType_Null: duk_push_null(ctx_); return true;
    case NPVariantType_Bool: duk_push_boolean(ctx_, variant.value.boolValue); return true;
    case NPVariantType_Int32: duk_push_int(ctx_, variant.value.intValue); return true;
    case NPVariantType_Double: duk_push_number(ctx_, variant.value.doubleValue); return true;
    case NPVariantType_String: {
        const NPString& s = variant.value.stringValue;
        if (s.UTF8Length > kMaxScriptStringBytes || (!s.UTF8Characters && s.UTF8Length)) return false;
        duk_push_lstring(ctx_, s.UTF8Characters ? s.UTF8Characters : "", s.UTF8Length);
        return true;
    }
    case NPVariantType_Object: PushObject(variant.value.objectValue); return true;
    }
    duk_push_undefined(ctx_);
    return true;
}

bool ScriptEngine::ToVariant(int index, NPVariant& variant) {
    VOID_TO_NPVARIANT(variant);
    switch (duk_get_type(ctx_, index)) {
    case DUK_TYPE_NULL: NULL_TO_NPVARIANT(variant); return true;
    case DUK_TYPE_BOOLEAN: BOOLEAN_TO_NPVARIANT(duk_get_boolean(ctx_, index), variant); return true;
    case DUK_TYPE_NUMBER: {
        const double number = duk_get_number(ctx_, index);
        if (number == std::trunc(number) && number >= INT32_MIN && number <= INT32_MAX &&
            !(number == 0 && std::signbit(number))) {
            INT32_TO_NPVARIANT(static_cast<int32_t>(number), variant);
        } else {
            DOUBLE_TO_NPVARIANT(number, variant);
        }
        return true;
    }
    case DUK_TYPE_STRING: {
        duk_size_t length = 0;
        const char* text = duk_get_lstring(ctx_, index, &length);
        return MakeStringVariant(text, length, variant);
    }
    case DUK_TYPE_OBJECT:
    case DUK_TYPE_LIGHTFUNC: {
        if (NPObject* object = WrappedObject(duk_get_heapptr(ctx_, index))) {
            OBJECT_TO_NPVARIANT(RetainObject(object), variant);
            return true;
        }
        if (NPObject* object = ScriptObjectFor(index)) OBJECT_TO_NPVARIANT(object, variant);
        return true;
    }
    default: return true;  // undefined and the engine's own types: void
    }
}

NPObject* ScriptEngine::ScriptObjectFor(int index) {
    index = duk_normalize_index(ctx_, index);
    void* value = duk_get_heapptr(ctx_, index);
    if (!value) return nullptr;
    if (auto found = scriptObjects_.find(value); found != scriptObjects_.end()) {
        return RetainObject(found->second);
    }
    NPObject* object = CreateObject(nullptr, &scriptObjectClass);
    auto* self = static_cast<ScriptObject*>(object);
    self->engine = this;
    self->value = value;
    self->key = nextId_++;
    duk_push_heap_stash(ctx_);
    duk_get_prop_string(ctx_, -1, kScriptValues);
    duk_dup(ctx_, index);
    duk_put_prop_index(ctx_, -2, static_cast<duk_uarridx_t>(self->key));
    duk_pop_2(ctx_);
    scriptObjects_[value] = object;
    liveScriptObjects.insert(self);
    return object;
}

void ScriptEngine::ForgetScriptObject(void* heapPointer, int key) {
    scriptObjects_.erase(heapPointer);
    for (auto it = liveScriptObjects.begin(); it != liveScriptObjects.end(); ++it) {
        if ((*it)->key == key && (*it)->engine == this) {
            liveScriptObjects.erase(it);
            break;
        }
    }
    Protected(ctx_, "forget", [key](duk_context* c) {
        duk_push_heap_stash(c);
        duk_get_prop_string(c, -1, kScriptValues);
        duk_del_prop_index(c, -1, static_cast<duk_uarridx_t>(key));
        return true;
    });
}

void ScriptEngine::PushScriptable(std::size_t index) {
    Element& element = elements_[index];
    if (element.wrapper) {
        if (Wrapper* wrapper = FindWrapper(element.wrapper)) {
            duk_push_heapptr(ctx_, wrapper->proxy);
            return;
        }
        duk_push_null(ctx_);  // its instance is gone
        return;
    }
    Instance& instance = *element.instance;
    const NPPluginFuncs& funcs = browser_.pluginFuncs();
    if (!instance.alive() || funcs.size < kPluginFuncsGetValueSize || !funcs.getvalue) {
        duk_push_null(ctx_);
        return;
    }
    NPObject* object = nullptr;
    const NPError error = reinterpret_cast<NPP_GetValueProcPtr>(funcs.getvalue)(
        instance.npp(), NPPVpluginScriptableNPObject, &object);
    RuntimeLog("-> NPP_GetValue #" + std::to_string(index + 1) + " NPPVpluginScriptableNPObject = " +
               (error == NPERR_NO_ERROR ? ObjectName(object) : "error " + std::to_string(error)));
    if (error != NPERR_NO_ERROR || !object) {
        duk_push_null(ctx_);
        return;
    }
    PushObject(object);
    element.wrapper = wrapperOfObject_.at(object);
    ReleaseObject(object);  // the wrapper holds its own reference
}

NPObject* ScriptEngine::WindowObject(NPP) {
    NPObject* object = nullptr;
    if (ctx_) {
        Protected(ctx_, "window", [&](duk_context* c) {
            duk_push_global_object(c);
            object = ScriptObjectFor(-1);
            return true;
        });
    }
    return object;
}

NPObject* ScriptEngine::ElementObject(NPP npp) {
    NPObject* object = nullptr;
    for (const Element& element : elements_) {
        if (element.instance->npp() != npp || !ctx_) continue;
        Protected(ctx_, "element", [&](duk_context* c) {
            duk_push_object(c);
            for (const auto& [name, value] : element.attributes) {
                duk_push_string(c, value.c_str());
                duk_put_prop_string(c, -2, name.c_str());
            }
            object = ScriptObjectFor(-1);
            return true;
        });
    }
    return object;
}

bool ScriptEngine::Evaluate(NPP, const std::string& script, NPVariant* result) {
    if (!ctx_) return false;
    Crossing crossing;
    if (!crossing.entered()) return false;
    return Protected(ctx_, "NPN_Evaluate", [&](duk_context* c) {
        duk_push_string(c, "plug-in");
        duk_compile_lstring_filename(c, DUK_COMPILE_EVAL, script.data(), script.size());
        duk_call(c, 0);
        return ToVariant(-1, *result);
    });
}

}  // namespace nphost
