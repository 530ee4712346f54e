#include "fake_site.h"

#include <olectl.h>

namespace test_controls {

STDMETHODIMP FakeSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *ppv = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceSiteEx && offerEx_)
        *ppv = static_cast<IOleInPlaceSiteEx*>(this);
    else if (riid == IID_IDispatch)
        *ppv = static_cast<IDispatch*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP FakeSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FakeSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FakeSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = parent_;
    return S_OK;
}

STDMETHODIMP FakeSite::CanInPlaceActivate() {
    calls_.push_back("CanInPlaceActivate");
    return S_OK;
}

STDMETHODIMP FakeSite::OnInPlaceActivate() {
    calls_.push_back("OnInPlaceActivate");
    return S_OK;
}

STDMETHODIMP FakeSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                        LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO) {
    if (!frame || !document || !position || !clip) return E_POINTER;
    *frame = nullptr;
    *document = nullptr;
    ::GetClientRect(parent_, position);
    *clip = *position;
    calls_.push_back("GetWindowContext");
    return S_OK;
}

STDMETHODIMP FakeSite::OnInPlaceDeactivate() {
    calls_.push_back("OnInPlaceDeactivate");
    return S_OK;
}

STDMETHODIMP FakeSite::OnInPlaceActivateEx(BOOL* noRedraw, DWORD) {
    if (noRedraw) *noRedraw = FALSE;
    calls_.push_back("OnInPlaceActivateEx");
    return S_OK;
}

STDMETHODIMP FakeSite::OnInPlaceDeactivateEx(BOOL) {
    calls_.push_back("OnInPlaceDeactivateEx");
    return S_OK;
}

STDMETHODIMP FakeSite::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP FakeSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP FakeSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP FakeSite::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                              EXCEPINFO*, UINT*) {
    if (dispid != DISPID_AMBIENT_USERMODE) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    result->vt = VT_BOOL;
    result->boolVal = VARIANT_TRUE;
    return S_OK;
}

}  // namespace test_controls
