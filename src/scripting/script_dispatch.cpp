#include "scripting/script_dispatch.h"

#include <algorithm>
#include <cwchar>
#include <new>

#include "framework/adopt_com_ptr.h"
#include "framework/unique_resource.h"
#include "scripting/variant_conversion.h"

using Microsoft::WRL::ComPtr;

namespace scripting {
namespace {

// Answers QueryInterface with the object itself, so that a script object
// handed back by the control unwraps to the script object.
// {4B8E2F61-0C3A-4D7E-9B15-6A2D8C0E7F31}
constexpr IID kScriptDispatchIid = {0x4b8e2f61, 0x0c3a, 0x4d7e,
                                    {0x9b, 0x15, 0x6a, 0x2d, 0x8c, 0x0e, 0x7f, 0x31}};

HRESULT Failure(EXCEPINFO* exception, const wchar_t* description) {
    if (exception) {
        *exception = {};
        exception->scode = E_FAIL;
        exception->bstrDescription = ::SysAllocString(description);
    }
    return DISP_E_EXCEPTION;
}

}  // namespace

ComPtr<IDispatch> ScriptDispatch::Create(const std::shared_ptr<ScriptSession>& session,
                                         NPObject* object) {
    if (!session || !session->open() || !object) return nullptr;
    auto* dispatch = new (std::nothrow) ScriptDispatch(session);
    ComPtr<IDispatch> owner;
    if (!dispatch) return owner;
    *owner.GetAddressOf() = dispatch;  // adopts the first reference
    try {
        session->Add(dispatch);
    } catch (...) {
        return nullptr;  // not registered: it must not hold the script object
    }
    dispatch->object_ = session->browser().RetainObject(object);
    return owner;
}

ScriptDispatch::ScriptDispatch(std::shared_ptr<ScriptSession> session)
    : session_(std::move(session)) {}

ScriptDispatch::~ScriptDispatch() {
    Disconnect();
    session_->Remove(this);
}

NPObject* ScriptDispatch::ObjectOf(IDispatch* dispatch) {
    ScriptDispatch* found = nullptr;
    if (!dispatch ||
        FAILED(dispatch->QueryInterface(kScriptDispatchIid, reinterpret_cast<void**>(&found)))) {
        return nullptr;
    }
    const Microsoft::WRL::ComPtr<ScriptDispatch> self = fw::AdoptComPtr(found);
    return self->object_;
}

void ScriptDispatch::Disconnect() { session_->Release(std::exchange(object_, nullptr)); }

STDMETHODIMP ScriptDispatch::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kScriptDispatchIid) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ScriptDispatch::AddRef() { return ::InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) ScriptDispatch::Release() {
    const ULONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP ScriptDispatch::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP ScriptDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP ScriptDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) try {
    if (!names || !ids) return E_POINTER;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        std::string name;
        if (i > 0 || !names[i] || !Utf8FromWide(names[i], std::wcslen(names[i]), name)) continue;
        auto found = std::find(names_.begin(), names_.end(), name);
        if (found == names_.end()) found = names_.insert(names_.end(), name);
        ids[i] = static_cast<DISPID>(found - names_.begin()) + 1;
    }
    return count == 1 && ids[0] != DISPID_UNKNOWN ? S_OK : DISP_E_UNKNOWNNAME;
} catch (...) {
    return E_OUTOFMEMORY;
}

// The script may end the instance: the script object and the session are
// held for the call, and what the call converted or got back is given back
// also when the session closed meanwhile.
STDMETHODIMP ScriptDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* exception, UINT*) try {
    if (!params) return E_POINTER;
    if (result) ::VariantInit(result);
    if (!object_ || !session_->open()) return E_UNEXPECTED;
    if (id != DISPID_VALUE && (id < 1 || static_cast<std::size_t>(id) > names_.size())) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const std::shared_ptr<ScriptSession> session = session_;
    BrowserCalls& browser = session->browser();
    std::vector<UniqueNPVariant> arguments;
    std::vector<NPVariant> values;
    arguments.reserve(params->cArgs);
    values.reserve(params->cArgs);
    for (UINT i = params->cArgs; i-- > 0;) {
        arguments.emplace_back(session);
        if (!FromVariant(session, params->rgvarg[i], *arguments.back().get())) {
            return DISP_E_TYPEMISMATCH;
        }
        values.push_back(*arguments.back().get());
    }
    const NPIdentifier name =
        id == DISPID_VALUE ? nullptr : browser.GetStringIdentifier(names_[id - 1].c_str());
    UniqueNPVariant answer(session);
    HeldObjects held(session);
    held.Hold(object_);
    NPObject* const object = held.objects().front();
    bool ok;
    if (id == DISPID_VALUE) {
        ok = browser.InvokeDefault(session->npp(), object, values.data(),
                                   static_cast<uint32_t>(values.size()), answer.get());
    } else if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        ok = !values.empty() &&
             browser.SetProperty(session->npp(), object, name, &values.back());
    } else if (flags & DISPATCH_METHOD) {
        ok = browser.Invoke(session->npp(), object, name, values.data(),
                            static_cast<uint32_t>(values.size()), answer.get());
        if (!ok && (flags & DISPATCH_PROPERTYGET) && session->open()) {
            answer.reset();
            ok = browser.GetProperty(session->npp(), object, name, answer.get());
        }
    } else {
        ok = browser.GetProperty(session->npp(), object, name, answer.get());
    }
    if (!ok) return Failure(exception, L"the script's call failed");
    if (result && FAILED(ToVariant(session, *answer, result))) {
        return Failure(exception, L"the script's answer cannot be given to the control");
    }
    return S_OK;
} catch (...) {
    if (result) ::VariantClear(result);
    return E_OUTOFMEMORY;
}

}  // namespace scripting
