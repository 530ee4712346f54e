// The control's automation tables: names to dispatch identifiers, the
// file-request event, and the owned copy of that event's arguments.
#include <algorithm>
#include <cstdlib>
#include <new>

#include <ocidl.h>
#include <wrl/client.h>

#include "framework/adopt_com_ptr.h"
#include "framework/default_source.h"
#include "framework/type_info_parts.h"
#include "propfile/ocx_info.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr std::size_t kMemberNameLimit = 80;
constexpr std::size_t kEventNameLimit = 256;

// The first `limit` bytes of a wide name converted as wcstombs does; an
// unconvertible name gives the empty text.
std::string NarrowName(const wchar_t* name, std::size_t limit) {
    if (!name) return {};
    std::string buffer(limit, '\0');
    const std::size_t written = std::wcstombs(buffer.data(), name, limit);
    if (written == static_cast<std::size_t>(-1)) return {};
    buffer.resize(written);
    return buffer;
}

std::string MemberName(ITypeInfo* typeInfo, MEMBERID memid) {
    BSTR name = nullptr;
    UINT count = 0;
    if (FAILED(typeInfo->GetNames(memid, &name, 1, &count)) || count == 0) return {};
    std::string result = NarrowName(name, kMemberNameLimit);
    ::SysFreeString(name);
    return result;
}

// Fills `entries` (room for `declared`) with the members of one kind, in
// type-information order; returns how many were filled.
template <typename Describe>
uint32_t CollectMembers(ITypeInfo* typeInfo, uint32_t declared, MemberEntry* entries,
                        Describe describe) {
    uint32_t filled = 0;
    for (UINT index = 0; index < declared; ++index) {
        MEMBERID memid = 0;
        if (!describe(typeInfo, index, &memid)) continue;
        entries[filled].dispid = memid;
        entries[filled].name = MemberName(typeInfo, memid);
        ++filled;
    }
    return filled;
}

bool DescribeProperty(ITypeInfo* typeInfo, UINT index, MEMBERID* memid) {
    fw::UniqueVarDesc desc;
    if (FAILED(typeInfo->GetVarDesc(index, desc.Receive(typeInfo))) || !desc) return false;
    *memid = desc->memid;
    return desc->varkind == VAR_DISPATCH;
}

bool DescribeMethod(ITypeInfo* typeInfo, UINT index, MEMBERID* memid) {
    fw::UniqueFuncDesc desc;
    if (FAILED(typeInfo->GetFuncDesc(index, desc.Receive(typeInfo))) || !desc) return false;
    *memid = desc->memid;
    return desc->funckind == FUNC_DISPATCH;
}

}  // namespace

IUnknown* COCXInfo::QueryControlInterface(IID iid) {
    if (!controlUnknown) return nullptr;
    if (iid == IID_IUnknown) {
        controlUnknown->AddRef();
        return controlUnknown;
    }
    IUnknown* result = nullptr;
    if (FAILED(controlUnknown->QueryInterface(iid, reinterpret_cast<void**>(&result)))) {
        return nullptr;
    }
    return result;
}

void COCXInfo::BuildMemberTable() {
    FreeMemberTable();
    try {
        memberTable = new MemberTable();
        controlDispatch = static_cast<IDispatch*>(QueryControlInterface(IID_IDispatch));
        if (!controlDispatch) return;
        ComPtr<ITypeInfo> typeInfo;
        fw::UniqueTypeAttr attributes;
        UINT count = 0;
        if (SUCCEEDED(controlDispatch->GetTypeInfoCount(&count)) && count == 1 &&
            SUCCEEDED(controlDispatch->GetTypeInfo(0, ::GetUserDefaultLCID(), &typeInfo)) &&
            typeInfo && SUCCEEDED(typeInfo->GetTypeAttr(attributes.Receive(typeInfo.Get()))) &&
            attributes) {
            memberTable->properties = new MemberEntry[attributes->cVars];
            memberTable->propertyCount = attributes->cVars;
            memberTable->propertyCount = CollectMembers(typeInfo.Get(), attributes->cVars,
                                                        memberTable->properties, DescribeProperty);
            memberTable->methods = new MemberEntry[attributes->cFuncs];
            memberTable->methodCount = attributes->cFuncs;
            memberTable->methodCount = CollectMembers(typeInfo.Get(), attributes->cFuncs,
                                                      memberTable->methods, DescribeMethod);
        }
    } catch (const std::bad_alloc&) {
        // The table keeps what was filled so far.
    }
    if (controlDispatch) {
        controlDispatch->Release();
        controlDispatch = nullptr;
    }
}

const MemberEntry* COCXInfo::FindMember(const std::string& name) const {
    if (!memberTable) return nullptr;
    for (uint32_t i = 0; i < memberTable->propertyCount; ++i) {
        if (memberTable->properties[i].name == name) return &memberTable->properties[i];
    }
    for (uint32_t i = 0; i < memberTable->methodCount; ++i) {
        if (memberTable->methods[i].name == name) return &memberTable->methods[i];
    }
    return nullptr;
}

void COCXInfo::BuildEventInfo() {
    const ComPtr<IProvideClassInfo> provider = fw::AdoptComPtr(
        static_cast<IProvideClassInfo*>(QueryControlInterface(IID_IProvideClassInfo)));
    if (!provider) return;
    ComPtr<ITypeInfo> classInfo;
    if (FAILED(provider->GetClassInfo(&classInfo)) || !classInfo) return;
    const ComPtr<ITypeInfo> eventInfo = fw::DefaultSourceTypeInfo(classInfo.Get());
    if (eventInfo) ReadEventInterface(eventInfo.Get());
}

void COCXInfo::ReadEventInterface(ITypeInfo* eventInfo) {
    fw::UniqueTypeAttr attributes;
    if (FAILED(eventInfo->GetTypeAttr(attributes.Receive(eventInfo))) || !attributes) return;
    FreeEventTable();
    eventIid = attributes->guid;
    try {
        if (attributes->cFuncs != 0) {
            eventTable = new EventEntry[attributes->cFuncs];
            eventCount = attributes->cFuncs;
        }
        for (uint16_t index = 0; index < eventCount; ++index) {
            fw::UniqueFuncDesc desc;
            if (FAILED(eventInfo->GetFuncDesc(index, desc.Receive(eventInfo))) || !desc) continue;
            EventEntry& entry = eventTable[index];
            entry.dispid = desc->memid;
            entry.paramCount = static_cast<uint16_t>(desc->cParams);
            entry.names = new BSTR[entry.paramCount + 1]();
            UINT got = 0;
            eventInfo->GetNames(desc->memid, entry.names, entry.paramCount + 1, &got);
            const std::string name = NarrowName(entry.names[0], kEventNameLimit);
            if (name == "ReadFile" || name == "GetUrlAsFile") eventDispid = entry.dispid;
        }
    } catch (const std::bad_alloc&) {
        // What was read so far stays.
    }
}

void COCXInfo::CopyEventArgs(const DISPPARAMS* params) {
    if (!params || (params->cArgs != 0 && !params->rgvarg)) return;
    if (eventArgCount != 0) FreeEventArgs();
    try {
        if (params->cArgs != 0) eventArgs = new VARIANT[params->cArgs];
        eventArgCount = params->cArgs;
        if (params->cNamedArgs != 0 && params->rgdispidNamedArgs) {
            eventNamedArgs = new DISPID[params->cNamedArgs];
            eventNamedArgCount = params->cNamedArgs;
            std::copy_n(params->rgdispidNamedArgs, params->cNamedArgs, eventNamedArgs);
        }
    } catch (const std::bad_alloc&) {
        FreeEventArgs();
        return;
    }
    for (uint32_t i = 0; i < eventArgCount; ++i) {
        const VARIANT& source = params->rgvarg[i];
        VARIANT& copy = eventArgs[i];
        copy = VARIANT{};  // a 16-bit value reads back as the same 32-bit one
        copy.vt = source.vt;
        switch (source.vt) {
        case VT_I2: case VT_BOOL: copy.iVal = source.iVal; break;
        case VT_I4: case VT_R4: case VT_ERROR: copy.lVal = source.lVal; break;
        case VT_R8: case VT_CY: case VT_DATE: copy.dblVal = source.dblVal; break;
        case VT_BSTR: copy.bstrVal = ::SysAllocString(source.bstrVal); break;
        case VT_DISPATCH: case VT_UNKNOWN:
            copy.punkVal = source.punkVal;
            if (copy.punkVal) copy.punkVal->AddRef();
            break;
        default:
            if ((source.vt & VT_BYREF) && (source.vt & ~VT_BYREF) >= VT_I2 &&
                (source.vt & ~VT_BYREF) <= VT_UNKNOWN) {
                copy.byref = source.byref;
            }
            break;
        }
    }
}

void COCXInfo::FreeEventArgs() {
    for (uint32_t i = 0; i < eventArgCount && eventArgs; ++i) {
        VARIANT& copy = eventArgs[i];
        if (copy.vt == VT_BSTR) ::SysFreeString(copy.bstrVal);
        if ((copy.vt == VT_DISPATCH || copy.vt == VT_UNKNOWN) && copy.punkVal) copy.punkVal->Release();
    }
    delete[] eventArgs;
    delete[] eventNamedArgs;
    eventArgs = nullptr;
    eventNamedArgs = nullptr;
    eventArgCount = 0;
    eventNamedArgCount = 0;
}

void COCXInfo::FreeEventTable() {
    if (!eventTable) return;
    for (uint16_t i = 0; i < eventCount; ++i) {
        if (!eventTable[i].names) continue;
        for (uint16_t n = 0; n <= eventTable[i].paramCount; ++n) ::SysFreeString(eventTable[i].names[n]);
        delete[] eventTable[i].names;
    }
    delete[] eventTable;
    eventTable = nullptr;
    eventCount = 0;
}
