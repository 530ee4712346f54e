// The NPRuntime types through which page scripts and plug-ins call each
// other: objects with a class of callbacks, variants, strings and
// identifiers. Written from the published interface; the callbacks are cdecl.
//
// Ownership, as browsers apply it: a variant or string a callee hands back
// belongs to the caller (NPN_ReleaseVariantValue); string characters handed
// across are allocated with NPN_MemAlloc; an object handed back carries one
// reference for the caller; arguments are borrowed for the call.
#pragma once

#include <cstdint>

#include "npapi/npapi.h"

struct _NPString {
    const NPUTF8* UTF8Characters;  // not terminated
    uint32_t UTF8Length;           // in bytes
};

typedef enum {
    NPVariantType_Void,
    NPVariantType_Null,
    NPVariantType_Bool,
    NPVariantType_Int32,
    NPVariantType_Double,
    NPVariantType_String,
    NPVariantType_Object
} NPVariantType;

struct _NPVariant {
    NPVariantType type;
    union {
        bool boolValue;
        int32_t intValue;
        double doubleValue;
        NPString stringValue;
        NPObject* objectValue;
    } value;
};

typedef NPObject* (*NPAllocateFunctionPtr)(NPP npp, NPClass* aClass);
typedef void (*NPDeallocateFunctionPtr)(NPObject* npobj);
typedef void (*NPInvalidateFunctionPtr)(NPObject* npobj);
typedef bool (*NPHasMethodFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPInvokeFunctionPtr)(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                    uint32_t argCount, NPVariant* result);
typedef bool (*NPInvokeDefaultFunctionPtr)(NPObject* npobj, const NPVariant* args,
                                           uint32_t argCount, NPVariant* result);
typedef bool (*NPHasPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPGetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name, NPVariant* result);
typedef bool (*NPSetPropertyFunctionPtr)(NPObject* npobj, NPIdentifier name,
                                         const NPVariant* value);
typedef bool (*NPRemovePropertyFunctionPtr)(NPObject* npobj, NPIdentifier name);
typedef bool (*NPEnumerationFunctionPtr)(NPObject* npobj, NPIdentifier** value, uint32_t* count);
typedef bool (*NPConstructFunctionPtr)(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                       NPVariant* result);

// A class's structVersion says which trailing members it has.
#define NP_CLASS_STRUCT_VERSION_ENUM 2
#define NP_CLASS_STRUCT_VERSION_CTOR 3
#define NP_CLASS_STRUCT_VERSION NP_CLASS_STRUCT_VERSION_CTOR

struct NPClass {
    uint32_t structVersion;
    NPAllocateFunctionPtr allocate;      // null: the browser allocates an NPObject
    NPDeallocateFunctionPtr deallocate;  // null: the browser frees it
    NPInvalidateFunctionPtr invalidate;
    NPHasMethodFunctionPtr hasMethod;
    NPInvokeFunctionPtr invoke;
    NPInvokeDefaultFunctionPtr invokeDefault;
    NPHasPropertyFunctionPtr hasProperty;
    NPGetPropertyFunctionPtr getProperty;
    NPSetPropertyFunctionPtr setProperty;
    NPRemovePropertyFunctionPtr removeProperty;
    NPEnumerationFunctionPtr enumerate;  // from NP_CLASS_STRUCT_VERSION_ENUM
    NPConstructFunctionPtr construct;    // from NP_CLASS_STRUCT_VERSION_CTOR
};

struct NPObject {
    NPClass* _class;
    uint32_t referenceCount;
    // The class's own members follow in objects its allocate makes.
};

// Variant setters, as the published macros.
inline void VOID_TO_NPVARIANT(NPVariant& v) { v.type = NPVariantType_Void; v.value.objectValue = nullptr; }
inline void NULL_TO_NPVARIANT(NPVariant& v) { v.type = NPVariantType_Null; v.value.objectValue = nullptr; }
inline void BOOLEAN_TO_NPVARIANT(bool b, NPVariant& v) { v.type = NPVariantType_Bool; v.value.boolValue = b; }
inline void INT32_TO_NPVARIANT(int32_t i, NPVariant& v) { v.type = NPVariantType_Int32; v.value.intValue = i; }
inline void DOUBLE_TO_NPVARIANT(double d, NPVariant& v) { v.type = NPVariantType_Double; v.value.doubleValue = d; }
inline void STRINGN_TO_NPVARIANT(const NPUTF8* s, uint32_t n, NPVariant& v) {
    v.type = NPVariantType_String;
    v.value.stringValue = {s, n};
}
inline void OBJECT_TO_NPVARIANT(NPObject* o, NPVariant& v) { v.type = NPVariantType_Object; v.value.objectValue = o; }
