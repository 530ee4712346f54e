#include "scripting/dispatch_object.h"

#include <algorithm>
#include <new>
#include <set>

#include "framework/adopt_com_ptr.h"
#include "framework/type_info_parts.h"
#include "framework/unique_resource.h"
#include "scripting/variant_conversion.h"

using Microsoft::WRL::ComPtr;

namespace scripting {
namespace {

constexpr char kAddListener[] = "addEventListener";
constexpr char kRemoveListener[] = "removeEventListener";
constexpr char kGone[] = "the control is gone";
constexpr char kOutOfMemory[] = "out of memory";
constexpr char kFailed[] = "the call failed";

std::string Utf8(const NPVariant& value) {
    if (value.type != NPVariantType_String) return {};
    return std::string(value.value.stringValue.UTF8Characters, value.value.stringValue.UTF8Length);
}

// The description an automation failure carries, or a text with its code.
std::string Describe(HRESULT result, EXCEPINFO& exception) {
    if (result == DISP_E_EXCEPTION && exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    const fw::UniqueBstr source(exception.bstrSource);
    const fw::UniqueBstr description(exception.bstrDescription);
    const fw::UniqueBstr helpFile(exception.bstrHelpFile);
    std::string text;
    if (description && Utf8FromWide(description.get(), ::SysStringLen(description.get()), text) &&
        !text.empty()) {
        return text;
    }
    char code[64];  // always fits; the platform's formatting keeps printf out of the DLL
    ::wsprintfA(code, "the control's call failed (0x%08lX)",
                static_cast<unsigned long>(result == DISP_E_EXCEPTION && exception.scode
                                               ? exception.scode
                                               : result));
    return code;
}

// Calls visit(info, function, variable) for each member the control's type
// information describes (one of function and variable is null); nothing for
// a control that gives none.
template <typename Visit>
void VisitMembers(IDispatch* dispatch, Visit&& visit) {
    ComPtr<ITypeInfo> info;
    UINT infoCount = 0;
    fw::UniqueTypeAttr attributes;
    if (FAILED(dispatch->GetTypeInfoCount(&infoCount)) || !infoCount ||
        FAILED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) || !info ||
        FAILED(info->GetTypeAttr(attributes.Receive(info.Get()))) || !attributes) {
        return;
    }
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        fw::UniqueFuncDesc function;
        if (SUCCEEDED(info->GetFuncDesc(i, function.Receive(info.Get()))) && function) {
            visit(info.Get(), function.get(), nullptr);
        }
    }
    for (UINT i = 0; i < attributes->cVars; ++i) {
        fw::UniqueVarDesc variable;
        if (SUCCEEDED(info->GetVarDesc(i, variable.Receive(info.Get()))) && variable) {
            visit(info.Get(), nullptr, variable.get());
        }
    }
}

// Owns the arguments of one call; hands them to the control in automation
// order (the last goes in the first slot) as slots that borrow the values.
class Arguments {
public:
    explicit Arguments(uint32_t count) : values_(count) {}
    VARIANT* ForScriptArgument(uint32_t i) { return values_[i].get(); }
    DISPPARAMS Params() {
        const UINT count = static_cast<UINT>(values_.size());
        slots_.resize(count);
        for (UINT i = 0; i < count; ++i) slots_[count - 1 - i] = *values_[i].get();
        return {count ? slots_.data() : nullptr, nullptr, count, 0};
    }

private:
    std::vector<fw::UniqueVariant> values_;
    std::vector<VARIANT> slots_;
};

}  // namespace

// The class's callbacks: each finds its object and answers through it. No
// exception leaves one: running out of memory, or any other failure inside,
// is a false answer with a script exception (none for the questions).
struct DispatchObjectCalls {
    static DispatchObject* Self(NPObject* object) { return static_cast<DispatchObject*>(object); }

    template <typename Call>
    static bool Guarded(NPObject* object, bool setException, Call&& call) noexcept {
        try {
            return call(Self(object));
        } catch (const std::bad_alloc&) {
            if (setException) Self(object)->Fail(kOutOfMemory);
        } catch (...) {
            if (setException) Self(object)->Fail(kFailed);
        }
        return false;
    }

    static NPObject* Allocate(NPP, NPClass*) { return new (std::nothrow) DispatchObject(); }
    static void Deallocate(NPObject* object) { delete Self(object); }
    static void Invalidate(NPObject* object) { Self(object)->Disconnect(); }

    static bool IsListenerMethod(const std::string& name) {
        return name == kAddListener || name == kRemoveListener;
    }

    static bool HasMethod(NPObject* object, NPIdentifier name) {
        return Guarded(object, false, [&](DispatchObject* self) {
            if (!self->Usable()) return false;
            if (IsListenerMethod(self->session_->browser().NameOf(name))) return true;
            const DispatchObject::Member* member = self->Find(name);
            return member && member->method;
        });
    }

    static bool HasProperty(NPObject* object, NPIdentifier name) {
        return Guarded(object, false, [&](DispatchObject* self) {
            if (!self->Usable()) return false;
            const DispatchObject::Member* member = self->Find(name);
            return member && member->property;
        });
    }

    static bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
                       NPVariant* result) {
        return Guarded(object, true, [&](DispatchObject* self) {
            if (!self->Usable()) return self->Fail(kGone);
            const std::string text = self->session_->browser().NameOf(name);
            if (IsListenerMethod(text)) return self->Listen(args, count, text == kAddListener);
            const DispatchObject::Member* member = self->Find(name);
            if (!member) return self->Fail(("the control has no method " + text).c_str());
            const WORD flags =
                member->method ? DISPATCH_METHOD : DISPATCH_METHOD | DISPATCH_PROPERTYGET;
            return self->Call(member->dispid, flags, args, count, result);
        });
    }

    static bool InvokeDefault(NPObject* object, const NPVariant* args, uint32_t count,
                              NPVariant* result) {
        return Guarded(object, true, [&](DispatchObject* self) {
            if (!self->Usable()) return self->Fail(kGone);
            return self->Call(DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, count,
                              result);
        });
    }

    static bool GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
        return Guarded(object, true, [&](DispatchObject* self) {
            if (!self->Usable()) return self->Fail(kGone);
            const DispatchObject::Member* member = self->Find(name);
            if (!member || !member->property) return false;
            return self->Call(member->dispid, DISPATCH_PROPERTYGET, nullptr, 0, result);
        });
    }

    static bool SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
        return Guarded(object, true, [&](DispatchObject* self) {
            if (!self->Usable()) return self->Fail(kGone);
            const DispatchObject::Member* member = self->Find(name);
            if (!member || !member->property) return false;
            return self->Call(member->dispid, DISPATCH_PROPERTYPUT, value, 1, nullptr);
        });
    }

    static bool Enumerate(NPObject* object, NPIdentifier** names, uint32_t* count) {
        *names = nullptr;
        *count = 0;
        return Guarded(object, true, [&](DispatchObject* self) {
            return self->Enumerate(*names, *count);
        });
    }
};

NPClass DispatchObject::npClass = {
    NP_CLASS_STRUCT_VERSION_ENUM,        DispatchObjectCalls::Allocate,
    DispatchObjectCalls::Deallocate,     DispatchObjectCalls::Invalidate,
    DispatchObjectCalls::HasMethod,      DispatchObjectCalls::Invoke,
    DispatchObjectCalls::InvokeDefault,  DispatchObjectCalls::HasProperty,
    DispatchObjectCalls::GetProperty,    DispatchObjectCalls::SetProperty,
    nullptr,                             DispatchObjectCalls::Enumerate,
    nullptr};

NPObject* DispatchObject::Create(const std::shared_ptr<ScriptSession>& session, IDispatch* dispatch) {
    if (!session || !session->open() || !dispatch) return nullptr;
    NPObject* object = session->browser().CreateObject(session->npp(), &npClass);
    DispatchObject* self = From(object);
    if (!self) return nullptr;
    self->session_ = session;
    self->dispatch_ = dispatch;
    try {
        session->Add(self);
    } catch (...) {
        session->Release(object);
        return nullptr;
    }
    return object;
}

DispatchObject* DispatchObject::From(NPObject* object) {
    return object && object->_class == &npClass ? static_cast<DispatchObject*>(object) : nullptr;
}

DispatchObject::~DispatchObject() {
    Disconnect();
    if (session_) session_->Remove(this);
}

bool DispatchObject::Usable() { return dispatch_ && session_ && session_->open(); }

// The listeners are given back also after the session closed: they are the
// browser's objects, and its table outlives the instance.
void DispatchObject::Disconnect() {
    dispatch_.Reset();
    members_.clear();
    auto listeners = std::move(listeners_);
    listeners_.clear();
    if (!session_) return;
    for (auto& [name, list] : listeners) {
        for (NPObject* listener : list) session_->Release(listener);
    }
}

bool DispatchObject::Fail(const char* message) {
    if (session_ && session_->open()) session_->browser().SetException(this, message);
    return false;
}

const DispatchObject::Member* DispatchObject::Find(NPIdentifier name) {
    const std::string text = session_->browser().NameOf(name);
    if (text.empty()) return nullptr;
    if (auto found = members_.find(text); found != members_.end()) return &found->second;
    fw::UniqueBstr wide = BstrFromUtf8(text.c_str(), static_cast<uint32_t>(text.size()));
    if (!wide) return nullptr;
    LPOLESTR names[] = {wide.get()};
    Member member = {DISPID_UNKNOWN, false, false};
    if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member.dispid))) {
        return nullptr;
    }
    VisitMembers(dispatch_.Get(), [&](ITypeInfo*, const FUNCDESC* function, const VARDESC* variable) {
        if (function && function->memid == member.dispid) {
            (function->invkind == INVOKE_FUNC ? member.method : member.property) = true;
        }
        if (variable && variable->memid == member.dispid) member.property = true;
    });
    if (!member.method && !member.property) member.method = member.property = true;  // no description
    return &members_.emplace(text, member).first->second;
}

bool DispatchObject::Call(DISPID dispid, WORD flags, const NPVariant* args, uint32_t count,
                          NPVariant* result) {
    // The call may end in a page script that tears the instance down: what
    // the call needs is held locally.
    const std::shared_ptr<ScriptSession> session = session_;
    const ComPtr<IDispatch> dispatch = dispatch_;
    Arguments arguments(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (FAILED(ToVariant(session, args[i], arguments.ForScriptArgument(i)))) {
            return Fail("an argument cannot be passed to the control");
        }
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = arguments.Params();
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    fw::UniqueVariant answer;
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    const HRESULT hr = dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                        flags == DISPATCH_PROPERTYPUT ? nullptr : answer.get(),
                                        &exception, &argumentError);
    if (FAILED(hr)) {
        const std::string message = Describe(hr, exception);
        return Fail(message.c_str());
    }
    if (!result) return true;
    if (!session->open()) return false;
    if (!FromVariant(session, *answer.get(), *result)) {
        return Fail("the control's answer cannot be given to the script");
    }
    return true;
}

bool DispatchObject::Listen(const NPVariant* args, uint32_t count, bool add) {
    if (count < 2 || args[0].type != NPVariantType_String || args[1].type != NPVariantType_Object ||
        !args[1].value.objectValue) {
        return Fail(add ? "addEventListener expects a name and a function"
                        : "removeEventListener expects a name and a function");
    }
    std::vector<NPObject*>& list = listeners_[Utf8(args[0])];
    NPObject* listener = args[1].value.objectValue;
    const auto found = std::find(list.begin(), list.end(), listener);
    if (add && found == list.end()) {
        list.push_back(listener);  // kept only once it is in the list
        session_->browser().RetainObject(listener);
    } else if (!add && found != list.end()) {
        list.erase(found);
        session_->Release(listener);
    }
    return true;
}

// Listeners may add or remove listeners or end the instance (the session
// closes, this object is disconnected): the object itself and each listener
// are held for the whole delivery, the loop stops when the session closes,
// and whatever was held or converted is given back, also then. Running out
// of memory ends the delivery.
void DispatchObject::FireEvent(const std::string& name, const DISPPARAMS& params) {
    try {
        if (!Usable()) return;
        auto found = listeners_.find(name);
        if (found == listeners_.end() || found->second.empty()) return;
        const std::shared_ptr<ScriptSession> session = session_;
        HeldObjects self(session);
        self.Hold(this);
        HeldObjects listeners(session);
        listeners.Hold(found->second);
        for (NPObject* listener : listeners.objects()) {
            if (!session->open()) break;
            std::vector<UniqueNPVariant> arguments;
            std::vector<NPVariant> values;
            arguments.reserve(params.cArgs);
            values.reserve(params.cArgs);
            for (UINT a = params.cArgs; a-- > 0;) {
                arguments.emplace_back(session);
                FromVariant(session, params.rgvarg[a], *arguments.back().get());  // else void
                values.push_back(*arguments.back().get());
            }
            UniqueNPVariant result(session);
            session->browser().InvokeDefault(session->npp(), listener, values.data(),
                                             static_cast<uint32_t>(values.size()), result.get());
        }
    } catch (...) {
    }
}

bool DispatchObject::Enumerate(NPIdentifier*& names, uint32_t& count) {
    if (!Usable()) return Fail(kGone);
    BrowserCalls& browser = session_->browser();
    std::vector<std::string> found = {kAddListener, kRemoveListener};
    std::set<std::string> seen(found.begin(), found.end());
    auto add = [&](ITypeInfo* info, MEMBERID id) {
        BSTR raw = nullptr;
        UINT got = 0;
        if (FAILED(info->GetNames(id, &raw, 1, &got)) || got == 0) return;
        const fw::UniqueBstr name(raw);
        std::string text;
        if (Utf8FromWide(name.get(), ::SysStringLen(name.get()), text) && !text.empty() &&
            seen.insert(text).second) {
            found.push_back(text);
        }
    };
    VisitMembers(dispatch_.Get(), [&](ITypeInfo* info, const FUNCDESC* function,
                                      const VARDESC* variable) {
        if (function && !(function->wFuncFlags & (FUNCFLAG_FRESTRICTED | FUNCFLAG_FHIDDEN))) {
            add(info, function->memid);
        }
        if (variable && !(variable->wVarFlags & (VARFLAG_FRESTRICTED | VARFLAG_FHIDDEN))) {
            add(info, variable->memid);
        }
    });
    std::vector<NPIdentifier> identifiers;
    identifiers.reserve(found.size());
    for (const std::string& name : found) identifiers.push_back(browser.GetStringIdentifier(name.c_str()));
    // The block goes to the browser, which frees it: nothing can fail after it.
    auto* block = static_cast<NPIdentifier*>(
        browser.MemAlloc(static_cast<uint32_t>(identifiers.size() * sizeof(NPIdentifier))));
    if (!block) return Fail(kOutOfMemory);
    std::copy(identifiers.begin(), identifiers.end(), block);
    names = block;
    count = static_cast<uint32_t>(identifiers.size());
    return true;
}

}  // namespace scripting
