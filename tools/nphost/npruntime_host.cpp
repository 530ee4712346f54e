#include "npruntime_host.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "browser.h"

namespace nphost {
namespace {

struct Identifier {
    bool isString;
    std::string name;
    int32_t number;
};

// Interned for the life of the process: a plug-in may keep identifiers in
// statics across instances.
std::map<std::string, std::unique_ptr<Identifier>>& StringIdentifiers() {
    static std::map<std::string, std::unique_ptr<Identifier>> table;
    return table;
}
std::map<int32_t, std::unique_ptr<Identifier>>& IntIdentifiers() {
    static std::map<int32_t, std::unique_ptr<Identifier>> table;
    return table;
}

struct ObjectRecord {
    int number;
    NPP npp;
    bool invalidated = false;
};
std::map<const NPObject*, ObjectRecord>& Objects() {
    static std::map<const NPObject*, ObjectRecord> table;
    return table;
}
int nextObjectNumber = 1;
std::optional<std::string> pendingException;
int crossingDepth = 0;
PageScripting* pageScripting = nullptr;

const Identifier* AsIdentifier(NPIdentifier identifier) {
    return static_cast<const Identifier*>(identifier);
}

std::string Quote(const NPUTF8* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }

std::string Args(uint32_t count) { return " (" + std::to_string(count) + " args)"; }

// --- The table's entries (cdecl, called by the plug-in) --------------------

NPError GetValue(NPP npp, NPNVariable variable, void* value) {
    if (!value) return NPERR_INVALID_PARAM;
    switch (variable) {
    case NPNVWindowNPObject:
    case NPNVPluginElementNPObject: {
        const bool window = variable == NPNVWindowNPObject;
        NPObject* object = nullptr;
        if (pageScripting && npp) {
            object = window ? pageScripting->WindowObject(npp) : pageScripting->ElementObject(npp);
        }
        RuntimeLog(std::string("<- NPN_GetValue ") +
                   (window ? "NPNVWindowNPObject" : "NPNVPluginElementNPObject") + " = " +
                   (object ? ObjectName(object) : "none"));
        *static_cast<NPObject**>(value) = object;
        return object ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
    }
    case NPNVjavascriptEnabledBool:
        RuntimeLog("<- NPN_GetValue NPNVjavascriptEnabledBool");
        *static_cast<NPBool*>(value) = pageScripting != nullptr;
        return NPERR_NO_ERROR;
    default:
        RuntimeLog("<- NPN_GetValue " + std::to_string(variable) + " (not offered)");
        return NPERR_GENERIC_ERROR;
    }
}

NPError SetValue(NPP, NPPVariable variable, void*) {
    RuntimeLog("<- NPN_SetValue " + std::to_string(variable) + " (ignored)");
    return NPERR_GENERIC_ERROR;
}

void InvalidateRect(NPP, NPRect*) { RuntimeLog("<- NPN_InvalidateRect"); }
void InvalidateRegion(NPP, void*) { RuntimeLog("<- NPN_InvalidateRegion"); }
void ForceRedraw(NPP) { RuntimeLog("<- NPN_ForceRedraw"); }

NPIdentifier GetStringIdentifier(const NPUTF8* name) {
    RuntimeLog("<- NPN_GetStringIdentifier " + Quote(name));
    return name ? StringIdentifier(name) : nullptr;
}

void GetStringIdentifiers(const NPUTF8** names, int32_t count, NPIdentifier* identifiers) {
    RuntimeLog("<- NPN_GetStringIdentifiers " + std::to_string(count));
    if (!names || !identifiers) return;
    for (int32_t i = 0; i < count; ++i) {
        identifiers[i] = names[i] ? StringIdentifier(names[i]) : nullptr;
    }
}

NPIdentifier GetIntIdentifier(int32_t number) {
    RuntimeLog("<- NPN_GetIntIdentifier " + std::to_string(number));
    return IntIdentifier(number);
}

bool IsStringIdentifier(NPIdentifier identifier) {
    RuntimeLog("<- NPN_IdentifierIsString " + IdentifierText(identifier));
    return IdentifierIsString(identifier);
}

NPUTF8* UTF8FromIdentifier(NPIdentifier identifier) {
    RuntimeLog("<- NPN_UTF8FromIdentifier " + IdentifierText(identifier));
    const Identifier* id = AsIdentifier(identifier);
    if (!id || !id->isString) return nullptr;
    auto* copy = static_cast<NPUTF8*>(Browser::Allocate(id->name.size() + 1));
    if (copy) std::memcpy(copy, id->name.c_str(), id->name.size() + 1);
    return copy;
}

int32_t IntFromIdentifier(NPIdentifier identifier) {
    RuntimeLog("<- NPN_IntFromIdentifier " + IdentifierText(identifier));
    const Identifier* id = AsIdentifier(identifier);
    return id && !id->isString ? id->number : INT32_MIN;
}

NPObject* CreateObjectEntry(NPP npp, NPClass* npClass) {
    NPObject* object = CreateObject(npp, npClass);
    RuntimeLog("<- NPN_CreateObject = " + (object ? ObjectName(object) : "null"));
    return object;
}

NPObject* RetainObjectEntry(NPObject* object) {
    RuntimeLog("<- NPN_RetainObject " + ObjectName(object));
    return RetainObject(object);
}

void ReleaseObjectEntry(NPObject* object) {
    RuntimeLog("<- NPN_ReleaseObject " + ObjectName(object));
    ReleaseObject(object);
}

// The plug-in's calls into objects: its own or the page's.
bool InvokeEntry(NPP, NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
                 NPVariant* result) {
    RuntimeLog("<- NPN_Invoke " + ObjectName(object) + "." + IdentifierText(name) + Args(count));
    if (!object || !result || !object->_class || !object->_class->invoke) return false;
    VOID_TO_NPVARIANT(*result);
    return object->_class->invoke(object, name, args, count, result);
}

bool InvokeDefaultEntry(NPP, NPObject* object, const NPVariant* args, uint32_t count,
                        NPVariant* result) {
    RuntimeLog("<- NPN_InvokeDefault " + ObjectName(object) + Args(count));
    if (!object || !result || !object->_class || !object->_class->invokeDefault) return false;
    VOID_TO_NPVARIANT(*result);
    return object->_class->invokeDefault(object, args, count, result);
}

bool EvaluateEntry(NPP npp, NPObject* object, NPString* script, NPVariant* result) {
    if (!script || !result || (!script->UTF8Characters && script->UTF8Length)) return false;
    if (script->UTF8Length > kMaxScriptStringBytes) {
        RuntimeLog("<- NPN_Evaluate (script too long, refused)");
        return false;
    }
    const std::string text(script->UTF8Characters ? script->UTF8Characters : "", script->UTF8Length);
    RuntimeLog("<- NPN_Evaluate " + ObjectName(object) + " " + Quote(text.substr(0, 80).c_str()));
    VOID_TO_NPVARIANT(*result);
    return pageScripting && pageScripting->Evaluate(npp, text, result);
}

bool GetPropertyEntry(NPP, NPObject* object, NPIdentifier name, NPVariant* result) {
    RuntimeLog("<- NPN_GetProperty " + ObjectName(object) + "." + IdentifierText(name));
    if (!object || !result || !object->_class || !object->_class->getProperty) return false;
    VOID_TO_NPVARIANT(*result);
    return object->_class->getProperty(object, name, result);
}

bool SetPropertyEntry(NPP, NPObject* object, NPIdentifier name, const NPVariant* value) {
    RuntimeLog("<- NPN_SetProperty " + ObjectName(object) + "." + IdentifierText(name) + " = " +
               (value ? DescribeVariant(*value) : "null"));
    if (!object || !value || !object->_class || !object->_class->setProperty) return false;
    return object->_class->setProperty(object, name, value);
}

bool RemovePropertyEntry(NPP, NPObject* object, NPIdentifier name) {
    RuntimeLog("<- NPN_RemoveProperty " + ObjectName(object) + "." + IdentifierText(name));
    if (!object || !object->_class || !object->_class->removeProperty) return false;
    return object->_class->removeProperty(object, name);
}

bool HasPropertyEntry(NPP, NPObject* object, NPIdentifier name) {
    RuntimeLog("<- NPN_HasProperty " + ObjectName(object) + "." + IdentifierText(name));
    if (!object || !object->_class || !object->_class->hasProperty) return false;
    return object->_class->hasProperty(object, name);
}

bool HasMethodEntry(NPP, NPObject* object, NPIdentifier name) {
    RuntimeLog("<- NPN_HasMethod " + ObjectName(object) + "." + IdentifierText(name));
    if (!object || !object->_class || !object->_class->hasMethod) return false;
    return object->_class->hasMethod(object, name);
}

void ReleaseVariantValueEntry(NPVariant* variant) {
    RuntimeLog("<- NPN_ReleaseVariantValue" +
               (variant ? " " + DescribeVariant(*variant) : std::string()));
    ReleaseVariantValue(variant);
}

void SetExceptionEntry(NPObject* object, const NPUTF8* message) {
    RuntimeLog("<- NPN_SetException " + ObjectName(object) + " " + Quote(message));
    std::string text = message ? message : "";
    if (text.size() > kMaxScriptStringBytes) text.resize(kMaxScriptStringBytes);
    pendingException = std::move(text);
}

void PushPopupsEnabledState(NPP, NPBool) { RuntimeLog("<- NPN_PushPopupsEnabledState"); }
void PopPopupsEnabledState(NPP) { RuntimeLog("<- NPN_PopPopupsEnabledState"); }

bool EnumerateEntry(NPP, NPObject* object, NPIdentifier** names, uint32_t* count) {
    RuntimeLog("<- NPN_Enumerate " + ObjectName(object));
    if (!object || !names || !count || !object->_class ||
        object->_class->structVersion < NP_CLASS_STRUCT_VERSION_ENUM || !object->_class->enumerate) {
        return false;
    }
    return object->_class->enumerate(object, names, count);
}

}  // namespace

void InstallRuntimeFunctions(NPNetscapeFuncs& table) {
    table.size = kNetscapeFuncsEnumerateSize;
    table.version = (NP_VERSION_MAJOR << 8) | NPVERS_HAS_NPOBJECT_ENUM;
    table.getvalue = &GetValue;
    table.setvalue = &SetValue;
    table.invalidaterect = &InvalidateRect;
    table.invalidateregion = &InvalidateRegion;
    table.forceredraw = &ForceRedraw;
    table.getstringidentifier = &GetStringIdentifier;
    table.getstringidentifiers = &GetStringIdentifiers;
    table.getintidentifier = &GetIntIdentifier;
    table.identifierisstring = &IsStringIdentifier;
    table.utf8fromidentifier = &UTF8FromIdentifier;
    table.intfromidentifier = &IntFromIdentifier;
    table.createobject = &CreateObjectEntry;
    table.retainobject = &RetainObjectEntry;
    table.releaseobject = &ReleaseObjectEntry;
    table.invoke = &InvokeEntry;
    table.invokeDefault = &InvokeDefaultEntry;
    table.evaluate = &EvaluateEntry;
    table.getproperty = &GetPropertyEntry;
    table.setproperty = &SetPropertyEntry;
    table.removeproperty = &RemovePropertyEntry;
    table.hasproperty = &HasPropertyEntry;
    table.hasmethod = &HasMethodEntry;
    table.releasevariantvalue = &ReleaseVariantValueEntry;
    table.setexception = &SetExceptionEntry;
    table.pushpopupsenabledstate = &PushPopupsEnabledState;
    table.poppopupsenabledstate = &PopPopupsEnabledState;
    table.enumerate = &EnumerateEntry;
}

void SetPageScripting(PageScripting* scripting) { pageScripting = scripting; }

void RuntimeLog(const std::string& line) {
    if (Browser* browser = Browser::Current()) browser->Log(line);
}

// --- Identifiers -------------------------------------------------------------

NPIdentifier StringIdentifier(const std::string& name) {
    auto& slot = StringIdentifiers()[name];
    if (!slot) slot = std::make_unique<Identifier>(Identifier{true, name, 0});
    return slot.get();
}

NPIdentifier IntIdentifier(int32_t number) {
    auto& slot = IntIdentifiers()[number];
    if (!slot) slot = std::make_unique<Identifier>(Identifier{false, {}, number});
    return slot.get();
}

std::string IdentifierText(NPIdentifier identifier) {
    const Identifier* id = AsIdentifier(identifier);
    if (!id) return "(null)";
    return id->isString ? id->name : "#" + std::to_string(id->number);
}

bool IdentifierIsString(NPIdentifier identifier) {
    const Identifier* id = AsIdentifier(identifier);
    return id && id->isString;
}

// --- Objects -----------------------------------------------------------------

std::string ObjectName(const NPObject* object) {
    if (!object) return "null";
    auto found = Objects().find(object);
    return found == Objects().end() ? "obj#?" : "obj#" + std::to_string(found->second.number);
}

NPObject* CreateObject(NPP npp, NPClass* npClass) {
    if (!npClass) return nullptr;
    NPObject* object = npClass->allocate
                           ? npClass->allocate(npp, npClass)
                           : static_cast<NPObject*>(std::calloc(1, sizeof(NPObject)));
    if (!object) return nullptr;
    object->_class = npClass;
    object->referenceCount = 1;
    Objects()[object] = {nextObjectNumber++, npp};
    return object;
}

NPObject* RetainObject(NPObject* object) {
    if (object) ++object->referenceCount;
    return object;
}

void ReleaseObject(NPObject* object) {
    if (!object) return;
    if (object->referenceCount == 0) {
        RuntimeLog("   (release of " + ObjectName(object) + " without a reference, ignored)");
        return;
    }
    if (--object->referenceCount > 0) return;
    Objects().erase(object);
    if (object->_class && object->_class->deallocate) {
        object->_class->deallocate(object);
    } else {
        std::free(object);
    }
}

NPP OwnerOf(const NPObject* object) {
    auto found = Objects().find(object);
    return found == Objects().end() ? nullptr : found->second.npp;
}

void InvalidateObjectsOf(NPP npp) {
    std::vector<NPObject*> owned;
    for (auto& [object, record] : Objects()) {
        if (record.npp == npp && !record.invalidated) {
            record.invalidated = true;
            owned.push_back(const_cast<NPObject*>(object));
        }
    }
    for (NPObject* object : owned) {
        if (Objects().count(object) && object->_class && object->_class->invalidate) {
            RuntimeLog("-> " + ObjectName(object) + ".invalidate");
            object->_class->invalidate(object);
        }
    }
}

int LiveObjects() { return static_cast<int>(Objects().size()); }

// --- Variants ------------------------------------------------------------------

bool MakeStringVariant(const char* text, std::size_t length, NPVariant& variant) {
    VOID_TO_NPVARIANT(variant);
    if (length > kMaxScriptStringBytes) return false;
    auto* copy = static_cast<NPUTF8*>(Browser::Allocate(length + 1));
    if (!copy) return false;
    if (length) std::memcpy(copy, text, length);
    copy[length] = '\0';
    STRINGN_TO_NPVARIANT(copy, static_cast<uint32_t>(length), variant);
    return true;
}

void ReleaseVariantValue(NPVariant* variant) {
    if (!variant) return;
    if (variant->type == NPVariantType_String) {
        Browser::Free(const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters));
    } else if (variant->type == NPVariantType_Object) {
        ReleaseObject(variant->value.objectValue);
    }
    VOID_TO_NPVARIANT(*variant);
}

std::string DescribeVariant(const NPVariant& variant) {
    switch (variant.type) {
    case NPVariantType_Void: return "void";
    case NPVariantType_Null: return "null";
    case NPVariantType_Bool: return variant.value.boolValue ? "true" : "false";
    case NPVariantType_Int32: return std::to_string(variant.value.intValue);
    case NPVariantType_Double: {
        char text[32];
        std::snprintf(text, sizeof text, "%g", variant.value.doubleValue);
        return text;
    }
    case NPVariantType_String: {
        const NPString& s = variant.value.stringValue;
        const uint32_t shown = s.UTF8Characters ? std::min<uint32_t>(s.UTF8Length, 60) : 0;
        return "\"" + std::string(s.UTF8Characters ? s.UTF8Characters : "", shown) +
               (shown < s.UTF8Length ? "...\"" : "\"");
    }
    case NPVariantType_Object: return ObjectName(variant.value.objectValue);
    }
    return "?";
}

std::optional<std::string> TakeException() { return std::exchange(pendingException, std::nullopt); }

bool EnterCrossing() {
    if (crossingDepth >= kMaxCrossingDepth) return false;
    ++crossingDepth;
    return true;
}

void LeaveCrossing() { --crossingDepth; }

// --- Calls into objects -----------------------------------------------------------

namespace {
const NPClass* ClassOf(NPObject* object) { return object ? object->_class : nullptr; }
}  // namespace

bool ObjectHasMethod(NPObject* object, NPIdentifier name) {
    const NPClass* c = ClassOf(object);
    if (!c || !c->hasMethod) return false;
    const bool answer = c->hasMethod(object, name);
    RuntimeLog("-> " + ObjectName(object) + ".hasMethod " + IdentifierText(name) + " = " +
               (answer ? "true" : "false"));
    return answer;
}

bool ObjectHasProperty(NPObject* object, NPIdentifier name) {
    const NPClass* c = ClassOf(object);
    if (!c || !c->hasProperty) return false;
    const bool answer = c->hasProperty(object, name);
    RuntimeLog("-> " + ObjectName(object) + ".hasProperty " + IdentifierText(name) + " = " +
               (answer ? "true" : "false"));
    return answer;
}

bool ObjectInvoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
                  NPVariant* result) {
    const NPClass* c = ClassOf(object);
    VOID_TO_NPVARIANT(*result);
    if (!c || !c->invoke) return false;
    RuntimeLog("-> " + ObjectName(object) + ".invoke " + IdentifierText(name) + Args(count));
    const bool ok = c->invoke(object, name, args, count, result);
    RuntimeLog("   = " + (ok ? DescribeVariant(*result) : std::string("failed")));
    return ok;
}

bool ObjectInvokeDefault(NPObject* object, const NPVariant* args, uint32_t count,
                         NPVariant* result) {
    const NPClass* c = ClassOf(object);
    VOID_TO_NPVARIANT(*result);
    if (!c || !c->invokeDefault) return false;
    RuntimeLog("-> " + ObjectName(object) + ".invokeDefault" + Args(count));
    const bool ok = c->invokeDefault(object, args, count, result);
    RuntimeLog("   = " + (ok ? DescribeVariant(*result) : std::string("failed")));
    return ok;
}

bool ObjectGetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
    const NPClass* c = ClassOf(object);
    VOID_TO_NPVARIANT(*result);
    if (!c || !c->getProperty) return false;
    RuntimeLog("-> " + ObjectName(object) + ".getProperty " + IdentifierText(name));
    const bool ok = c->getProperty(object, name, result);
    RuntimeLog("   = " + (ok ? DescribeVariant(*result) : std::string("failed")));
    return ok;
}

bool ObjectSetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
    const NPClass* c = ClassOf(object);
    if (!c || !c->setProperty) return false;
    RuntimeLog("-> " + ObjectName(object) + ".setProperty " + IdentifierText(name) + " = " +
               DescribeVariant(*value));
    const bool ok = c->setProperty(object, name, value);
    if (!ok) RuntimeLog("   = failed");
    return ok;
}

bool ObjectRemoveProperty(NPObject* object, NPIdentifier name) {
    const NPClass* c = ClassOf(object);
    if (!c || !c->removeProperty) return false;
    RuntimeLog("-> " + ObjectName(object) + ".removeProperty " + IdentifierText(name));
    return c->removeProperty(object, name);
}

bool ObjectEnumerate(NPObject* object, NPIdentifier** names, uint32_t* count) {
    const NPClass* c = ClassOf(object);
    *names = nullptr;
    *count = 0;
    if (!c || c->structVersion < NP_CLASS_STRUCT_VERSION_ENUM || !c->enumerate) return false;
    RuntimeLog("-> " + ObjectName(object) + ".enumerate");
    const bool ok = c->enumerate(object, names, count);
    if (!ok) {
        *names = nullptr;
        *count = 0;
    }
    return ok;
}

}  // namespace nphost
