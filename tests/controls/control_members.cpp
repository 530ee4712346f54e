// The members of the control's dispatch interface, reached through Invoke.
#include <cstdio>
#include <fstream>
#include <filesystem>

#include "control_module.h"
#include "control_variant.h"
#include "test_control.h"
#include "framework/unique_resource.h"

namespace test_control {

using Microsoft::WRL::ComPtr;

namespace {

// The argument at `position` (0 = first) in automation order, or null.
const VARIANT* PositionalArg(const DISPPARAMS* params, UINT position) {
    if (position >= params->cArgs) return nullptr;
    return &params->rgvarg[params->cArgs - 1 - position];
}

// Coerces one argument into `out`; fails with a dispatch error.
HRESULT ArgAs(const DISPPARAMS* params, UINT position, VARTYPE type, fw::UniqueVariant& out) {
    const VARIANT* arg = PositionalArg(params, position);
    if (!arg) return DISP_E_BADPARAMCOUNT;
    HRESULT hr = ::VariantChangeType(out.get(), const_cast<VARIANT*>(arg), 0, type);
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT ExpectArgs(const DISPPARAMS* params, UINT count) {
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    return params->cArgs == count ? S_OK : DISP_E_BADPARAMCOUNT;
}

// The first line of a text file, or empty when it cannot be read.
std::wstring FirstLineOf(const wchar_t* path) {
    if (!path) return {};
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::string line;
    if (!file || !std::getline(file, line)) return {};
    if (!line.empty() && line.back() == '\r') line.pop_back();
    int length = ::MultiByteToWideChar(CP_ACP, 0, line.data(), int(line.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, line.data(), int(line.size()), wide.data(), length);
    return wide;
}

// The log text of a string argument: a null BSTR (which coercion would turn
// into an empty string) is written "<null>".
std::string StringArgText(const DISPPARAMS* params, UINT position, const VARIANT& converted) {
    const VARIANT* arg = PositionalArg(params, position);
    if (arg && arg->vt == VT_BSTR && !arg->bstrVal) return Narrow(nullptr);
    return Narrow(converted.bstrVal ? converted.bstrVal : L"");
}

bool IsGet(WORD flags) { return flags & DISPATCH_PROPERTYGET; }
bool IsPut(WORD flags) { return flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF); }

// The value of a property put: the one argument named DISPID_PROPERTYPUT.
const VARIANT* PutValue(const DISPPARAMS* params) {
    if (params->cArgs != 1 || params->cNamedArgs != 1 ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return nullptr;
    return &params->rgvarg[0];
}

}  // namespace

// Members that the variant leaves out answer DISP_E_MEMBERNOTFOUND.
HRESULT TestControl::InvokeMember(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception) {
#ifdef TC_PROPERTY_START
    constexpr bool hasStartProperty = true;
#else
    constexpr bool hasStartProperty = false;
#endif
#ifdef TC_NO_STOP
    constexpr bool hasStop = false;
#else
    constexpr bool hasStop = true;
#endif
#ifdef TC_BOTH_EVENTS
    constexpr bool hasFireReadFile = true;
#else
    constexpr bool hasFireReadFile = false;
#endif
#ifdef TC_LONG_NAME
    constexpr bool hasLongName = true;
#else
    constexpr bool hasLongName = false;
#endif
    if (dispid == dispid::kCaption) return AccessCaption(flags, params, result);
    if (dispid == dispid::kStartProperty && hasStartProperty)
        return AccessStartProperty(flags, params, result);
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;

    HRESULT hr = S_OK;
    switch (dispid) {
    case dispid::kStart:
        if (FAILED(hr = ExpectArgs(params, 0))) return hr;
        return CallStart(exception);
    case dispid::kStop:
        if (!hasStop) return DISP_E_MEMBERNOTFOUND;
        if (FAILED(hr = ExpectArgs(params, 0))) return hr;
        return CallStop();
    case dispid::kOnGetUrlAsFile:
        if (FAILED(hr = ExpectArgs(params, 4))) return hr;
        return CallOnGetUrlAsFile(params);
    case dispid::kOnNewControlStateChanged:
        if (FAILED(hr = ExpectArgs(params, 2))) return hr;
        return CallOnNewControlStateChanged(params);
    case dispid::kFireRequest:
    case dispid::kFireReadFile: {
        if (dispid == dispid::kFireReadFile && !hasFireReadFile) return DISP_E_MEMBERNOTFOUND;
        if (FAILED(hr = ExpectArgs(params, 2))) return hr;
        fw::UniqueVariant url, id;
        if (FAILED(hr = ArgAs(params, 0, VT_BSTR, url)) || FAILED(hr = ArgAs(params, 1, VT_I4, id)))
            return hr;
        std::wstring urlText = url->bstrVal ? url->bstrVal : L"";
        if (dispid == dispid::kFireReadFile)
            FireRequest(dispid::kReadFileEvent, "ReadFile", urlText, id->lVal);
        else
            FireRequest(dispid::kRequestEvent, kRequestEventName, urlText, id->lVal);
        return S_OK;
    }
    case dispid::kFireRequestArgs:
        if (FAILED(hr = ExpectArgs(params, 3))) return hr;
        return CallFireRequestArgs(params);
    case dispid::kFireOther: {
        if (FAILED(hr = ExpectArgs(params, 0))) return hr;
        Log("Fire", "Clicked");
        DISPPARAMS none{};
        events_.Fire(dispid::kClickedEvent, &none);
        return S_OK;
    }
    case dispid::kEcho: {
        if (!kSafeForScripting) return DISP_E_MEMBERNOTFOUND;
        if (FAILED(hr = ExpectArgs(params, 1))) return hr;
        Log("Echo");
        return result ? ::VariantCopyInd(result, &params->rgvarg[0]) : S_OK;
    }
    case dispid::kLongName:
        if (!hasLongName) return DISP_E_MEMBERNOTFOUND;
        Log("LongName");
        return S_OK;
    case dispid::kCallKeptObjects:
        if (!kKeepsSite) return DISP_E_MEMBERNOTFOUND;
        if (FAILED(hr = ExpectArgs(params, 0))) return hr;
        return CallKeptObjects();
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// "Start" fires the saved start request, if any, from inside the call. The
// failing_invoke variant answers with an automation exception whose strings
// the caller frees.
HRESULT TestControl::CallStart(EXCEPINFO* exception) {
    Log("Start");
    EndPageIfAsked("Start");
    if (!state_.startRequestUrl.empty())
        FireRequest(dispid::kRequestEvent, kRequestEventName, state_.startRequestUrl,
                    state_.startRequestId);
    if (!kInvokeFails) return S_OK;
    if (exception) {
        *exception = EXCEPINFO{};
        exception->scode = E_FAIL;
        exception->bstrSource = ::SysAllocString(L"NptrvTestControl");
        exception->bstrDescription = ::SysAllocString(L"Start failed on purpose");
    }
    return DISP_E_EXCEPTION;
}

HRESULT TestControl::CallStop() {
    Log("Stop");
    return kInvokeFails ? E_FAIL : S_OK;
}

// The local file is read now: the browser may remove it after the call.
HRESULT TestControl::CallOnGetUrlAsFile(DISPPARAMS* params) {
    fw::UniqueVariant file, unused, id, reserved;
    HRESULT hr = S_OK;
    if (FAILED(hr = ArgAs(params, 0, VT_BSTR, file)) || FAILED(hr = ArgAs(params, 1, VT_BSTR, unused)) ||
        FAILED(hr = ArgAs(params, 2, VT_I4, id)) || FAILED(hr = ArgAs(params, 3, VT_I2, reserved)))
        return hr;
    Log("OnGetUrlAsFile", StringArgText(params, 0, *file.get()) + "|" +
                              StringArgText(params, 1, *unused.get()) + "|" +
                              std::to_string(id->lVal) + "|" + std::to_string(reserved->iVal));
    firstLine_ = FirstLineOf(file->bstrVal);
    Invalidate();
    EndPageIfAsked("OnGetUrlAsFile");
    return S_OK;
}

HRESULT TestControl::CallOnNewControlStateChanged(DISPPARAMS* params) {
    fw::UniqueVariant classId, state;
    HRESULT hr = S_OK;
    if (FAILED(hr = ArgAs(params, 0, VT_BSTR, classId)) || FAILED(hr = ArgAs(params, 1, VT_I2, state)))
        return hr;
    Log("OnNewControlStateChanged",
        StringArgText(params, 0, *classId.get()) + " " + std::to_string(state->iVal));
    EndPageIfAsked("OnNewControlStateChanged");
    return S_OK;
}

// Fires the request event with `count` (0 to 2) of the given arguments, in
// automation order: with 2, rgvarg[0] is `second` and rgvarg[1] is `first`;
// with 1, rgvarg[0] is `first`. The values go out exactly as received.
HRESULT TestControl::CallFireRequestArgs(DISPPARAMS* params) {
    fw::UniqueVariant count;
    HRESULT hr = ArgAs(params, 2, VT_I4, count);
    if (FAILED(hr)) return hr;
    if (count->lVal < 0 || count->lVal > 2) return E_INVALIDARG;
    VARIANT args[2];
    UINT used = UINT(count->lVal);
    if (used == 2) {
        args[0] = *PositionalArg(params, 1);
        args[1] = *PositionalArg(params, 0);
    } else if (used == 1) {
        args[0] = *PositionalArg(params, 0);
    }
    Log("Fire", std::string(kRequestEventName) + " args=" + std::to_string(used));
    DISPPARAMS event{used ? args : nullptr, nullptr, used, 0};
    events_.Fire(dispid::kRequestEvent, &event);
    return S_OK;
}

void TestControl::FireRequest(DISPID dispid, const char* name, const std::wstring& url,
                              int32_t requestId) {
    Log("Fire", std::string(name) + " " + Narrow(url) + " " + std::to_string(requestId));
    fw::UniqueBstr urlText(::SysAllocStringLen(url.data(), UINT(url.size())));
    VARIANT args[2];
    args[1].vt = VT_BSTR;  // the first argument comes last
    args[1].bstrVal = urlText.get();
    args[0].vt = VT_I4;
    args[0].lVal = requestId;
    DISPPARAMS event{args, nullptr, 2, 0};
    events_.Fire(dispid, &event);
}

HRESULT TestControl::AccessCaption(WORD flags, DISPPARAMS* params, VARIANT* result) {
    if (IsGet(flags)) {
        if (!result) return E_POINTER;
        ::VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = ::SysAllocStringLen(state_.caption.data(), UINT(state_.caption.size()));
        return result->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    if (!IsPut(flags)) return DISP_E_MEMBERNOTFOUND;
    const VARIANT* value = PutValue(params);
    if (!value) return DISP_E_BADPARAMCOUNT;
    fw::UniqueVariant text;
    if (FAILED(::VariantChangeType(text.get(), const_cast<VARIANT*>(value), 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
    state_.caption = text->bstrVal ? text->bstrVal : L"";
    dirty_ = true;
    Invalidate();
    return S_OK;
}

HRESULT TestControl::AccessStartProperty(WORD flags, DISPPARAMS* params, VARIANT* result) {
    if (IsGet(flags)) {
        if (!result) return E_POINTER;
        ::VariantInit(result);
        result->vt = VT_I4;
        result->lVal = startProperty_;
        return S_OK;
    }
    if (!IsPut(flags)) return DISP_E_MEMBERNOTFOUND;
    const VARIANT* value = PutValue(params);
    if (!value) return DISP_E_BADPARAMCOUNT;
    fw::UniqueVariant number;
    if (FAILED(::VariantChangeType(number.get(), const_cast<VARIANT*>(value), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
    startProperty_ = number->lVal;
    return S_OK;
}

void TestControl::LogKept(std::string_view call, HRESULT hr, std::string extra) const {
    char code[16];
    std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
    Log("Kept", std::string(call) + " " + code + (extra.empty() ? "" : " " + extra));
}

// Calls what the container handed out, as a control does that outlives its
// page; only the answers are logged.
HRESULT TestControl::CallKeptObjects() {
    if (keptContainer_) {
        ComPtr<IEnumUnknown> enumerator;
        HRESULT hr = keptContainer_->EnumObjects(OLECONTF_EMBEDDINGS, &enumerator);
        int count = 0;
        ComPtr<IUnknown> element;
        while (enumerator && enumerator->Next(1, &element, nullptr) == S_OK) {
            ++count;
            element.Reset();
        }
        LogKept("EnumObjects", hr, std::to_string(count));
        LogKept("LockContainer", keptContainer_->LockContainer(TRUE));
        ULONG eaten = 0;
        ComPtr<IMoniker> moniker;
        wchar_t name[] = L"name";
        LogKept("ParseDisplayName", keptContainer_->ParseDisplayName(nullptr, name, &eaten, &moniker));
    }
    if (keptSite_) {
        ComPtr<IOleContainer> container;
        LogKept("GetContainer", keptSite_->GetContainer(&container));
        ComPtr<IOleInPlaceSite> inPlace;
        if (SUCCEEDED(keptSite_.As(&inPlace))) {
            HWND window = nullptr;
            LogKept("GetWindow", inPlace->GetWindow(&window));
            LogKept("OnInPlaceActivate", inPlace->OnInPlaceActivate());
            ComPtr<IOleInPlaceFrame> frame;
            ComPtr<IOleInPlaceUIWindow> document;
            RECT position{}, clip{};
            OLEINPLACEFRAMEINFO frameInfo{};
            frameInfo.cb = sizeof frameInfo;
            LogKept("GetWindowContext",
                    inPlace->GetWindowContext(&frame, &document, &position, &clip, &frameInfo));
            const RECT moved{0, 0, 10, 10};
            LogKept("OnPosRectChange", inPlace->OnPosRectChange(&moved));
        }
    }
    if (keptFrame_) {
        HWND window = nullptr;
        LogKept("Frame GetWindow", keptFrame_->GetWindow(&window));
    }
    if (keptDocument_) {
        HWND window = nullptr;
        LogKept("Document GetWindow", keptDocument_->GetWindow(&window));
    }
    return S_OK;
}

}  // namespace test_control
