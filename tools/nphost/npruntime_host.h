// The browser's half of NPRuntime that needs no script engine: identifiers
// (interned for the life of the process, as browsers keep them), objects
// (NPN_CreateObject/Retain/Release with the class's allocate and deallocate),
// variant release, the exception a plug-in sets, and the calls through an
// object's class. Every call in either direction goes to the browser's log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "npapi/npruntime.h"

namespace nphost {

// Strings crossing between script and plug-in are refused above this size.
inline constexpr uint32_t kMaxScriptStringBytes = 1u << 20;
// Nested calls between script and plug-in (a script calling the plug-in
// calling the script ...) are refused beyond this depth.
inline constexpr int kMaxCrossingDepth = 32;

// Fills the NPRuntime entries of the browser's table and raises its size and
// version to those of a browser that offers NPN_Enumerate.
void InstallRuntimeFunctions(NPNetscapeFuncs& table);

// What NPN_GetValue and NPN_Evaluate ask of the page; set by the page's
// script engine while it lives.
class PageScripting {
public:
    virtual ~PageScripting() = default;
    // A new reference to the window object or the instance's element, or
    // null.
    virtual NPObject* WindowObject(NPP npp) = 0;
    virtual NPObject* ElementObject(NPP npp) = 0;
    // Runs `script` in the page; false when it throws (logged).
    virtual bool Evaluate(NPP npp, const std::string& script, NPVariant* result) = 0;
};
void SetPageScripting(PageScripting* scripting);

// Identifiers.
NPIdentifier StringIdentifier(const std::string& name);
NPIdentifier IntIdentifier(int32_t number);
// "name" or "#3", for the log and for scripts.
std::string IdentifierText(NPIdentifier identifier);
bool IdentifierIsString(NPIdentifier identifier);

// Objects. The object's number in the log ("obj#N").
std::string ObjectName(const NPObject* object);
NPObject* CreateObject(NPP npp, NPClass* npClass);
NPObject* RetainObject(NPObject* object);
void ReleaseObject(NPObject* object);
// The instance an object was made for, or null.
NPP OwnerOf(const NPObject* object);
// Calls the class's invalidate of every object made for `npp`, once.
void InvalidateObjectsOf(NPP npp);
// Objects made and not yet deallocated.
int LiveObjects();

// Variants: string characters come from the browser's allocator, released
// with ReleaseVariantValue.
bool MakeStringVariant(const char* text, std::size_t length, NPVariant& variant);
void ReleaseVariantValue(NPVariant* variant);
std::string DescribeVariant(const NPVariant& variant);

// The message of the last NPN_SetException, taken once.
std::optional<std::string> TakeException();

// Crossing depth between script and plug-in: Enter fails beyond the limit.
bool EnterCrossing();
void LeaveCrossing();

// Calls into an object through its class, logged with "->". A class
// without the member answers false. A false answer leaves the reason in
// TakeException when the object set one.
bool ObjectHasMethod(NPObject* object, NPIdentifier name);
bool ObjectHasProperty(NPObject* object, NPIdentifier name);
bool ObjectInvoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
                  NPVariant* result);
bool ObjectInvokeDefault(NPObject* object, const NPVariant* args, uint32_t count,
                         NPVariant* result);
bool ObjectGetProperty(NPObject* object, NPIdentifier name, NPVariant* result);
bool ObjectSetProperty(NPObject* object, NPIdentifier name, const NPVariant* value);
bool ObjectRemoveProperty(NPObject* object, NPIdentifier name);
bool ObjectEnumerate(NPObject* object, NPIdentifier** names, uint32_t* count);

// Writes a line to the current browser's log.
void RuntimeLog(const std::string& line);

}  // namespace nphost
