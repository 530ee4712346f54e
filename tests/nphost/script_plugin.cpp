// A tiny plug-in for the host's page-script tests. Each instance offers a
// scriptable object (unless its embed says scriptable=no) with:
//   value            a property holding any value
//   echo(x)          returns x          typeOf(x)   the variant type's name
//   fail(message)    sets an exception and fails
//   addEventListener(name, fn) / fire(name, ...args)   calls fn back with args
//   call(fn)         calls fn back with no arguments
//   evaluate(text)   NPN_Evaluate in the window; windowProperty(name) reads it
//   elementAttribute(name)   reads the embed element's attribute
// and calling the object itself returns "default". It accepts any stream.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "npapi/npruntime.h"

namespace {

NPNetscapeFuncs* browser = nullptr;

void Copy(const NPVariant& from, NPVariant& to) {
    to = from;
    if (from.type == NPVariantType_String) {
        const uint32_t n = from.value.stringValue.UTF8Length;
        auto* text = static_cast<NPUTF8*>(browser->memalloc(n + 1));
        if (n) std::memcpy(text, from.value.stringValue.UTF8Characters, n);
        text[n] = 0;
        STRINGN_TO_NPVARIANT(text, n, to);
    } else if (from.type == NPVariantType_Object) {
        browser->retainobject(from.value.objectValue);
    }
}

void ReturnString(const char* text, NPVariant* result) {
    NPVariant plain;
    STRINGN_TO_NPVARIANT(text, static_cast<uint32_t>(std::strlen(text)), plain);
    Copy(plain, *result);
}

std::string Utf8(const NPVariant& v) {
    return v.type == NPVariantType_String
               ? std::string(v.value.stringValue.UTF8Characters, v.value.stringValue.UTF8Length)
               : std::string();
}

struct Scriptable : NPObject {
    NPP npp;
    NPVariant value;
    std::map<std::string, NPObject*> listeners;
};

std::string Name(NPIdentifier id) {
    if (!browser->identifierisstring(id)) return "#" + std::to_string(browser->intfromidentifier(id));
    NPUTF8* text = browser->utf8fromidentifier(id);
    std::string name = text ? text : "";
    browser->memfree(text);
    return name;
}

const char* const kMethods[] = {"echo", "typeOf", "fail", "addEventListener", "fire",
                                "call", "evaluate", "windowProperty", "elementAttribute"};

NPObject* Allocate(NPP npp, NPClass*) {
    auto* self = new Scriptable{};
    self->npp = npp;
    VOID_TO_NPVARIANT(self->value);
    return self;
}

void Deallocate(NPObject* object) {
    auto* self = static_cast<Scriptable*>(object);
    browser->releasevariantvalue(&self->value);
    for (auto& [name, listener] : self->listeners) browser->releaseobject(listener);
    delete self;
}

bool HasMethod(NPObject*, NPIdentifier id) {
    const std::string name = Name(id);
    for (const char* method : kMethods) {
        if (name == method) return true;
    }
    return false;
}

bool HasProperty(NPObject*, NPIdentifier id) { return Name(id) == "value"; }

bool GetProperty(NPObject* object, NPIdentifier id, NPVariant* result) {
    if (Name(id) != "value") return false;
    Copy(static_cast<Scriptable*>(object)->value, *result);
    return true;
}

bool SetProperty(NPObject* object, NPIdentifier id, const NPVariant* value) {
    if (Name(id) != "value") return false;
    auto* self = static_cast<Scriptable*>(object);
    browser->releasevariantvalue(&self->value);
    Copy(*value, self->value);
    return true;
}

bool CallBack(NPObject* fn, const NPVariant* args, uint32_t count, NPVariant* result) {
    return fn && browser->invokeDefault(nullptr, fn, args, count, result);
}

bool Invoke(NPObject* object, NPIdentifier id, const NPVariant* args, uint32_t count,
            NPVariant* result) {
    auto* self = static_cast<Scriptable*>(object);
    const std::string name = Name(id);
    static const char* const kTypes[] = {"void", "null", "bool", "int32", "double", "string", "object"};
    if (name == "echo") {
        if (count) Copy(args[0], *result);
        return true;
    }
    if (name == "typeOf") {
        ReturnString(kTypes[count ? args[0].type : 0], result);
        return true;
    }
    if (name == "fail") {
        browser->setexception(object, count ? Utf8(args[0]).c_str() : "failed");
        return false;
    }
    if (name == "addEventListener" && count == 2 && args[1].type == NPVariantType_Object) {
        NPObject*& slot = self->listeners[Utf8(args[0])];
        if (slot) browser->releaseobject(slot);
        slot = browser->retainobject(args[1].value.objectValue);
        return true;
    }
    if (name == "fire" && count >= 1) {
        auto found = self->listeners.find(Utf8(args[0]));
        return found != self->listeners.end() && CallBack(found->second, args + 1, count - 1, result);
    }
    if (name == "call" && count == 1 && args[0].type == NPVariantType_Object) {
        return CallBack(args[0].value.objectValue, nullptr, 0, result);
    }
    if ((name == "evaluate" || name == "windowProperty" || name == "elementAttribute") && count == 1) {
        NPObject* window = nullptr;
        const NPNVariable which =
            name == "elementAttribute" ? NPNVPluginElementNPObject : NPNVWindowNPObject;
        if (browser->getvalue(self->npp, which, &window) != NPERR_NO_ERROR) return false;
        bool ok;
        if (name == "evaluate") {
            const std::string text = Utf8(args[0]);
            NPString script = {text.c_str(), static_cast<uint32_t>(text.size())};
            ok = browser->evaluate(self->npp, window, &script, result);
        } else {
            ok = browser->getproperty(self->npp, window, browser->getstringidentifier(Utf8(args[0]).c_str()),
                                      result);
        }
        browser->releaseobject(window);
        return ok;
    }
    return false;
}

bool InvokeDefault(NPObject*, const NPVariant*, uint32_t, NPVariant* result) {
    ReturnString("default", result);
    return true;
}

bool Enumerate(NPObject*, NPIdentifier** names, uint32_t* count) {
    *names = static_cast<NPIdentifier*>(browser->memalloc(2 * sizeof(NPIdentifier)));
    (*names)[0] = browser->getstringidentifier("value");
    (*names)[1] = browser->getstringidentifier("echo");
    *count = 2;
    return true;
}

NPClass scriptableClass = {NP_CLASS_STRUCT_VERSION_ENUM, Allocate, Deallocate, nullptr, HasMethod,
                           Invoke, InvokeDefault, HasProperty, GetProperty, SetProperty, nullptr,
                           Enumerate, nullptr};

struct InstanceData {
    bool scriptable = true;
    NPObject* object = nullptr;
};

NPError New(NPMIMEType, NPP npp, uint16_t, int16_t argc, char* argn[], char* argv[], NPSavedData*) {
    auto* data = new InstanceData;
    for (int16_t i = 0; i < argc; ++i) {
        if (std::strcmp(argn[i], "scriptable") == 0 && std::strcmp(argv[i], "no") == 0) {
            data->scriptable = false;
        }
    }
    npp->pdata = data;
    return NPERR_NO_ERROR;
}

NPError Destroy(NPP npp, NPSavedData**) {
    auto* data = static_cast<InstanceData*>(npp->pdata);
    if (data->object) browser->releaseobject(data->object);
    delete data;
    return NPERR_NO_ERROR;
}

NPError GetValue(NPP npp, NPPVariable variable, void* value) {
    auto* data = static_cast<InstanceData*>(npp->pdata);
    if (variable != NPPVpluginScriptableNPObject || !data->scriptable) return NPERR_GENERIC_ERROR;
    if (!data->object) data->object = browser->createobject(npp, &scriptableClass);
    *static_cast<NPObject**>(value) = browser->retainobject(data->object);
    return NPERR_NO_ERROR;
}

NPError SetWindow(NPP, NPWindow*) { return NPERR_NO_ERROR; }
NPError NewStream(NPP, NPMIMEType, NPStream*, NPBool, uint16_t* type) {
    *type = NP_NORMAL;
    return NPERR_NO_ERROR;
}
NPError DestroyStream(NPP, NPStream*, NPReason) { return NPERR_NO_ERROR; }
int32_t WriteReady(NPP, NPStream*) { return 1 << 16; }
int32_t Write(NPP, NPStream*, int32_t, int32_t len, void*) { return len; }
void StreamAsFile(NPP, NPStream*, const char*) {}

}  // namespace

extern "C" NPError WINAPI NP_GetEntryPoints(NPPluginFuncs* funcs) {
    funcs->version = (NP_VERSION_MAJOR << 8) | NPVERS_HAS_NPOBJECT_ENUM;
    funcs->newp = New;
    funcs->destroy = Destroy;
    funcs->setwindow = SetWindow;
    funcs->newstream = NewStream;
    funcs->destroystream = DestroyStream;
    funcs->asfile = StreamAsFile;
    funcs->writeready = WriteReady;
    funcs->write = Write;
    funcs->getvalue = reinterpret_cast<void*>(&GetValue);
    return NPERR_NO_ERROR;
}

extern "C" NPError WINAPI NP_Initialize(NPNetscapeFuncs* funcs) {
    if (funcs->size < kNetscapeFuncsEnumerateSize) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    browser = funcs;
    return NPERR_NO_ERROR;
}

extern "C" NPError WINAPI NP_Shutdown() {
    browser = nullptr;
    return NPERR_NO_ERROR;
}
