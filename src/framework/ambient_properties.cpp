// The ambient properties a control reads from its site: the page is in use
// (UserMode), with the system's window colours, the default GUI font and the
// user's locale. Properties the container does not know answer
// DISP_E_MEMBERNOTFOUND.
#include <olectl.h>

#include "framework/ole_control_site.h"

using Microsoft::WRL::ComPtr;

namespace fw {
namespace {

void SetBool(VARIANT* value, bool flag) {
    value->vt = VT_BOOL;
    value->boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetLong(VARIANT* value, LONG number) {
    value->vt = VT_I4;
    value->lVal = number;
}

// The default GUI font as an automation font object.
HRESULT CreateAmbientFont(VARIANT* value) {
    LOGFONTW logical = {};
    if (!::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(logical), &logical)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    int pointsTimes10000 = 80000;
    if (HDC screen = ::GetDC(nullptr)) {
        const int height = logical.lfHeight < 0 ? -logical.lfHeight : logical.lfHeight;
        if (height) pointsTimes10000 = ::MulDiv(height, 720000, ::GetDeviceCaps(screen, LOGPIXELSY));
        ::ReleaseDC(nullptr, screen);
    }
    FONTDESC description = {};
    description.cbSizeofstruct = sizeof(description);
    description.lpstrName = logical.lfFaceName;
    description.cySize.int64 = pointsTimes10000;
    description.sWeight = static_cast<SHORT>(logical.lfWeight);
    description.sCharset = logical.lfCharSet;
    description.fItalic = logical.lfItalic != 0;
    description.fUnderline = logical.lfUnderline != 0;
    description.fStrikethrough = logical.lfStrikeOut != 0;
    IFontDisp* font = nullptr;
    const HRESULT hr = ::OleCreateFontIndirect(&description, IID_IFontDisp, reinterpret_cast<void**>(&font));
    if (FAILED(hr)) return hr;
    value->vt = VT_DISPATCH;
    value->pdispVal = font;
    return S_OK;
}

}  // namespace

HRESULT COleControlSite::GetAmbientProperty(DISPID id, VARIANT* value) const {
    switch (id) {
    case DISPID_AMBIENT_USERMODE: SetBool(value, true); return S_OK;
    case DISPID_AMBIENT_UIDEAD:
    case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_DISPLAYASDEFAULT:
    case DISPID_AMBIENT_MESSAGEREFLECT:
    case DISPID_AMBIENT_SUPPORTSMNEMONICS: SetBool(value, false); return S_OK;
    case DISPID_AMBIENT_AUTOCLIP: SetBool(value, true); return S_OK;
    case DISPID_AMBIENT_BACKCOLOR: SetLong(value, static_cast<LONG>(::GetSysColor(COLOR_WINDOW))); return S_OK;
    case DISPID_AMBIENT_FORECOLOR: SetLong(value, static_cast<LONG>(::GetSysColor(COLOR_WINDOWTEXT))); return S_OK;
    case DISPID_AMBIENT_LOCALEID: SetLong(value, static_cast<LONG>(::GetUserDefaultLCID())); return S_OK;
    case DISPID_AMBIENT_APPEARANCE: SetLong(value, 0); return S_OK;  // flat
    case DISPID_AMBIENT_DISPLAYNAME:
        value->vt = VT_BSTR;
        value->bstrVal = ::SysAllocString(L"");
        return value->bstrVal ? S_OK : E_OUTOFMEMORY;
    case DISPID_AMBIENT_FONT: return CreateAmbientFont(value);
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT COleControlSite::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT COleControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT COleControlSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
    if (ids) {
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT COleControlSite::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO*, UINT*) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return E_POINTER;
    ::VariantInit(result);
    return GetAmbientProperty(id, result);
}

}  // namespace fw
