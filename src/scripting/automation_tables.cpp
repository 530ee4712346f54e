// The control's automation tables: names to dispatch identifiers, the
// file-request event, and the owned copy of that event's arguments.
#include <algorithm>
#include <cstdlib>
#include <new>

#include <ocidl.h>
#include <wrl/client.h>

#include "framework/default_source.h"
#include "framework/type_info_parts.h"
#include "framework/unique_resource.h"
#include "scripting/live_control.h"

using Microsoft::WRL::ComPtr;

namespace scripting {

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
    fw::UniqueBstr name;
    UINT count = 0;
    if (FAILED(typeInfo->GetNames(memid, name.put(), 1, &count)) || count == 0) return {};
    return NarrowName(name.get(), kMemberNameLimit);
}

// The members of one kind, in type-information order, appended to `entries`.
template <typename Describe>
void CollectMembers(ITypeInfo* typeInfo, UINT declared, std::vector<MemberEntry>& entries,
                    Describe describe) {
    for (UINT index = 0; index < declared; ++index) {
        MEMBERID memid = 0;
        if (!describe(typeInfo, index, &memid)) continue;
        entries.push_back({memid, MemberName(typeInfo, memid)});
    }
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

void LiveControl::Attach(IUnknown* control) {
    unknown_ = control;
    QueryControlInterface<IUnknown>(IID_IPersistMemory);  // asked, not used
    BuildEventInfo();
    BuildMemberTable();
}

void LiveControl::QueryInto(REFIID iid, void** object) const {
    *object = nullptr;
    if (!unknown_) return;
    if (iid == IID_IUnknown) {
        unknown_->AddRef();
        *object = unknown_;
        return;
    }
    if (FAILED(unknown_->QueryInterface(iid, object))) *object = nullptr;
}

void LiveControl::BuildMemberTable() {
    members_ = {};
    try {
        const ComPtr<IDispatch> dispatch = QueryControlInterface<IDispatch>(IID_IDispatch);
        if (!dispatch) return;
        ComPtr<ITypeInfo> typeInfo;
        fw::UniqueTypeAttr attributes;
        UINT count = 0;
        if (SUCCEEDED(dispatch->GetTypeInfoCount(&count)) && count == 1 &&
            SUCCEEDED(dispatch->GetTypeInfo(0, ::GetUserDefaultLCID(), &typeInfo)) && typeInfo &&
            SUCCEEDED(typeInfo->GetTypeAttr(attributes.Receive(typeInfo.Get()))) && attributes) {
            CollectMembers(typeInfo.Get(), attributes->cVars, members_.properties, DescribeProperty);
            CollectMembers(typeInfo.Get(), attributes->cFuncs, members_.methods, DescribeMethod);
        }
    } catch (const std::bad_alloc&) {
        // The table keeps what was filled so far.
    }
}

const MemberEntry* LiveControl::FindMember(const std::string& name) const {
    for (const std::vector<MemberEntry>* kind : {&members_.properties, &members_.methods}) {
        const auto found = std::find_if(kind->begin(), kind->end(),
                                        [&](const MemberEntry& entry) { return entry.name == name; });
        if (found != kind->end()) return &*found;
    }
    return nullptr;
}

void LiveControl::BuildEventInfo() {
    const ComPtr<IProvideClassInfo> provider =
        QueryControlInterface<IProvideClassInfo>(IID_IProvideClassInfo);
    if (!provider) return;
    ComPtr<ITypeInfo> classInfo;
    if (FAILED(provider->GetClassInfo(&classInfo)) || !classInfo) return;
    const ComPtr<ITypeInfo> eventInfo = fw::DefaultSourceTypeInfo(classInfo.Get());
    if (eventInfo) ReadEventInterface(eventInfo.Get());
}

void LiveControl::ReadEventInterface(ITypeInfo* eventInfo) {
    fw::UniqueTypeAttr attributes;
    if (FAILED(eventInfo->GetTypeAttr(attributes.Receive(eventInfo))) || !attributes) return;
    events_.clear();
    eventIid = attributes->guid;
    try {
        events_.resize(attributes->cFuncs);
        for (uint16_t index = 0; index < events_.size(); ++index) {
            fw::UniqueFuncDesc desc;
            if (FAILED(eventInfo->GetFuncDesc(index, desc.Receive(eventInfo))) || !desc) continue;
            EventEntry& entry = events_[index];
            entry.dispid = desc->memid;
            const std::size_t slots = static_cast<std::size_t>(desc->cParams) + 1;
            std::vector<BSTR> received(slots, nullptr);
            std::vector<fw::UniqueBstr> names(slots);
            UINT got = 0;
            eventInfo->GetNames(desc->memid, received.data(), static_cast<UINT>(slots), &got);
            for (std::size_t n = 0; n < slots; ++n) names[n].reset(received[n]);
            for (const fw::UniqueBstr& name : names) {
                entry.names.push_back(NarrowName(name.get(), kEventNameLimit));
            }
            if (entry.names[0] == "ReadFile" || entry.names[0] == "GetUrlAsFile") {
                eventDispid = entry.dispid;
            }
        }
    } catch (const std::bad_alloc&) {
        // What was read so far stays.
    }
}

void LiveControl::CopyEventArgs(const DISPPARAMS* params) {
    if (!params || (params->cArgs != 0 && !params->rgvarg)) return;
    eventArgs_.clear();
    eventNamedArgs_.clear();
    try {
        eventArgs_.resize(params->cArgs);
        if (params->cNamedArgs != 0 && params->rgdispidNamedArgs) {
            eventNamedArgs_.assign(params->rgdispidNamedArgs,
                                   params->rgdispidNamedArgs + params->cNamedArgs);
        }
    } catch (const std::bad_alloc&) {
        eventArgs_.clear();
        eventNamedArgs_.clear();
        return;
    }
    for (std::size_t i = 0; i < eventArgs_.size(); ++i) {
        const VARIANT& source = params->rgvarg[i];
        VARIANT& copy = *eventArgs_[i].get();  // zeroed: a 16-bit value reads back as the same 32-bit one
        copy = VARIANT{};
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
            // Only the type of anything else: the copy owns no data of it.
            if ((source.vt & VT_BYREF) && (source.vt & ~VT_BYREF) >= VT_I2 &&
                (source.vt & ~VT_BYREF) <= VT_UNKNOWN) {
                copy.byref = source.byref;
            }
            break;
        }
    }
}

}  // namespace scripting
