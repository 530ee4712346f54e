#include "scripting/variant_conversion.h"

#include <cmath>
#include <cstring>

#include "framework/adopt_com_ptr.h"
#include "scripting/dispatch_object.h"
#include "scripting/script_dispatch.h"

using Microsoft::WRL::ComPtr;

namespace scripting {
namespace {

bool StringVariant(BrowserCalls& browser, const std::string& text, NPVariant& to) {
    if (text.size() > kMaxStringLength) return false;
    auto* copy = static_cast<NPUTF8*>(browser.MemAlloc(static_cast<uint32_t>(text.size() + 1)));
    if (!copy) return false;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    STRINGN_TO_NPVARIANT(copy, static_cast<uint32_t>(text.size()), to);
    return true;
}

bool NumberVariant(double number, NPVariant& to) {
    if (number == std::trunc(number) && number >= INT32_MIN && number <= INT32_MAX &&
        !(number == 0 && std::signbit(number))) {
        INT32_TO_NPVARIANT(static_cast<int32_t>(number), to);
    } else {
        DOUBLE_TO_NPVARIANT(number, to);
    }
    return true;
}

bool ObjectVariant(const std::shared_ptr<ScriptSession>& session, IDispatch* dispatch,
                   NPVariant& to) {
    if (!dispatch) {
        NULL_TO_NPVARIANT(to);
        return true;
    }
    if (!session->open()) return false;
    if (NPObject* script = ScriptDispatch::ObjectOf(dispatch)) {
        OBJECT_TO_NPVARIANT(session->browser().RetainObject(script), to);
        return true;
    }
    NPObject* object = DispatchObject::Create(session, dispatch);
    if (!object) return false;
    OBJECT_TO_NPVARIANT(object, to);
    return true;
}

}  // namespace

fw::UniqueBstr BstrFromUtf8(const char* text, uint32_t length) {
    if (length > kMaxStringLength || (!text && length)) return {};
    if (length == 0) return fw::UniqueBstr(::SysAllocStringLen(L"", 0));
    const int wide = ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0);
    if (wide <= 0) return {};
    fw::UniqueBstr out(::SysAllocStringLen(nullptr, static_cast<UINT>(wide)));
    if (!out) return {};
    ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), out.get(), wide);
    return out;
}

bool Utf8FromWide(const wchar_t* text, std::size_t length, std::string& out) {
    out.clear();
    if (length == 0 || !text) return true;
    if (length > kMaxStringLength) return false;
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                            nullptr, nullptr);
    if (bytes <= 0) return false;
    out.resize(static_cast<std::size_t>(bytes));
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), bytes, nullptr,
                          nullptr);
    return true;
}

HRESULT ToVariant(const std::shared_ptr<ScriptSession>& session, const NPVariant& from,
                  VARIANT* to) {
    ::VariantInit(to);
    switch (from.type) {
    case NPVariantType_Void: return S_OK;
    case NPVariantType_Null: to->vt = VT_NULL; return S_OK;
    case NPVariantType_Bool:
        to->vt = VT_BOOL;
        to->boolVal = from.value.boolValue ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case NPVariantType_Int32: to->vt = VT_I4; to->lVal = from.value.intValue; return S_OK;
    case NPVariantType_Double: to->vt = VT_R8; to->dblVal = from.value.doubleValue; return S_OK;
    case NPVariantType_String: {
        const NPString& s = from.value.stringValue;
        if (s.UTF8Length > kMaxStringLength) return E_INVALIDARG;
        fw::UniqueBstr text = BstrFromUtf8(s.UTF8Characters, s.UTF8Length);
        if (!text) return E_OUTOFMEMORY;
        to->vt = VT_BSTR;
        to->bstrVal = text.release();
        return S_OK;
    }
    case NPVariantType_Object: {
        NPObject* object = from.value.objectValue;
        if (!object) {
            to->vt = VT_NULL;
            return S_OK;
        }
        if (DispatchObject* control = DispatchObject::From(object)) {
            if (!control->dispatch()) return E_UNEXPECTED;
            to->vt = VT_DISPATCH;
            to->pdispVal = control->dispatch();
            to->pdispVal->AddRef();
            return S_OK;
        }
        if (!session->open()) return E_UNEXPECTED;
        ComPtr<IDispatch> dispatch = ScriptDispatch::Create(session, object);
        if (!dispatch) return E_OUTOFMEMORY;
        to->vt = VT_DISPATCH;
        to->pdispVal = dispatch.Detach();
        return S_OK;
    }
    }
    return E_INVALIDARG;
}

bool FromVariant(const std::shared_ptr<ScriptSession>& session, const VARIANT& from,
                 NPVariant& to) {
    VOID_TO_NPVARIANT(to);
    if (from.vt & VT_BYREF) {
        fw::UniqueVariant direct;
        if (FAILED(::VariantCopyInd(direct.get(), const_cast<VARIANT*>(&from)))) return false;
        return FromVariant(session, *direct.get(), to);
    }
    switch (from.vt) {
    case VT_EMPTY: return true;
    case VT_NULL: NULL_TO_NPVARIANT(to); return true;
    case VT_BOOL: BOOLEAN_TO_NPVARIANT(from.boolVal != VARIANT_FALSE, to); return true;
    case VT_I1: INT32_TO_NPVARIANT(from.cVal, to); return true;
    case VT_UI1: INT32_TO_NPVARIANT(from.bVal, to); return true;
    case VT_I2: INT32_TO_NPVARIANT(from.iVal, to); return true;
    case VT_UI2: INT32_TO_NPVARIANT(from.uiVal, to); return true;
    case VT_I4: INT32_TO_NPVARIANT(from.lVal, to); return true;
    case VT_INT: INT32_TO_NPVARIANT(from.intVal, to); return true;
    case VT_UI4: return NumberVariant(from.ulVal, to);
    case VT_UINT: return NumberVariant(from.uintVal, to);
    case VT_I8: return NumberVariant(static_cast<double>(from.llVal), to);
    case VT_UI8: return NumberVariant(static_cast<double>(from.ullVal), to);
    case VT_R4: DOUBLE_TO_NPVARIANT(from.fltVal, to); return true;
    case VT_R8: DOUBLE_TO_NPVARIANT(from.dblVal, to); return true;
    case VT_DATE: DOUBLE_TO_NPVARIANT(from.date, to); return true;
    case VT_CY: DOUBLE_TO_NPVARIANT(static_cast<double>(from.cyVal.int64) / 10000.0, to); return true;
    case VT_DECIMAL: {
        double number = 0;
        if (FAILED(::VarR8FromDec(const_cast<DECIMAL*>(&from.decVal), &number))) return false;
        DOUBLE_TO_NPVARIANT(number, to);
        return true;
    }
    case VT_ERROR:
        // An omitted optional argument is nothing; another error code a number.
        if (from.scode != DISP_E_PARAMNOTFOUND) INT32_TO_NPVARIANT(from.scode, to);
        return true;
    case VT_BSTR: {
        std::string text;
        if (!Utf8FromWide(from.bstrVal, ::SysStringLen(from.bstrVal), text)) return false;
        return session->open() && StringVariant(session->browser(), text, to);
    }
    case VT_DISPATCH: return ObjectVariant(session, from.pdispVal, to);
    case VT_UNKNOWN: {
        if (!from.punkVal) {
            NULL_TO_NPVARIANT(to);
            return true;
        }
        ComPtr<IDispatch> dispatch;
        if (FAILED(from.punkVal->QueryInterface(IID_PPV_ARGS(&dispatch)))) return false;
        return ObjectVariant(session, dispatch.Get(), to);
    }
    default: return false;
    }
}

}  // namespace scripting
