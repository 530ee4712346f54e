// What the site answers when its control asks: client site, in-place site,
// control site and a frame without tools or menus. Once the site is
// disconnected (DestroyControl), calls that need the container fail with
// E_UNEXPECTED.
#include "framework/device_units.h"
#include "framework/ole_control_container.h"
#include "framework/ole_control_site.h"

using Microsoft::WRL::ComPtr;

namespace fw {

// IOleClientSite

HRESULT COleControlSite::SaveObject() { return E_NOTIMPL; }

HRESULT COleControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (!moniker) return E_POINTER;
    *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT COleControlSite::GetContainer(IOleContainer** container) {
    if (!container) return E_POINTER;
    *container = nullptr;
    if (!m_pCtrlCont) return E_UNEXPECTED;
    IOleContainer* answer = m_pCtrlCont->GetOleContainer();
    answer->AddRef();
    *container = answer;
    return S_OK;
}

HRESULT COleControlSite::ShowObject() { return S_OK; }

HRESULT COleControlSite::OnShowWindow(BOOL) { return S_OK; }

HRESULT COleControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// IOleWindow

HRESULT COleControlSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = ContainerWindow();
    return *window ? S_OK : E_UNEXPECTED;
}

HRESULT COleControlSite::ContextSensitiveHelp(BOOL) { return S_OK; }

// IOleInPlaceSite

HRESULT COleControlSite::CanInPlaceActivate() { return m_pCtrlCont ? S_OK : S_FALSE; }

HRESULT COleControlSite::OnInPlaceActivate() {
    if (!m_pCtrlCont) return E_UNEXPECTED;
    inPlaceActive_ = true;
    return S_OK;
}

HRESULT COleControlSite::OnUIActivate() { return m_pCtrlCont ? S_OK : E_UNEXPECTED; }

HRESULT COleControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                          RECT* position, RECT* clip,
                                          OLEINPLACEFRAMEINFO* frameInfo) {
    if (frame) *frame = nullptr;
    if (document) *document = nullptr;
    if (!frame || !document || !position || !clip || !frameInfo) return E_POINTER;
    if (!m_pCtrlCont) return E_UNEXPECTED;
    AddRef();
    *frame = this;
    *position = position_;
    *clip = position_;
    if (frameInfo->cb >= sizeof(OLEINPLACEFRAMEINFO)) {
        frameInfo->fMDIApp = FALSE;
        frameInfo->hwndFrame = ContainerWindow();
        frameInfo->haccel = nullptr;
        frameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

HRESULT COleControlSite::Scroll(SIZE) { return E_NOTIMPL; }

HRESULT COleControlSite::OnUIDeactivate(BOOL) { return S_OK; }

HRESULT COleControlSite::OnInPlaceDeactivate() {
    inPlaceActive_ = false;
    return S_OK;
}

HRESULT COleControlSite::DiscardUndoState() { return S_OK; }

HRESULT COleControlSite::DeactivateAndUndo() {
    ComPtr<IOleInPlaceObject> inPlace;
    if (m_pObject && SUCCEEDED(m_pObject.As(&inPlace))) inPlace->UIDeactivate();
    return S_OK;
}

HRESULT COleControlSite::OnPosRectChange(const RECT* position) {
    if (!position) return E_POINTER;
    if (!m_pCtrlCont) return E_UNEXPECTED;
    position_ = *position;
    ComPtr<IOleInPlaceObject> inPlace;
    if (m_pObject && SUCCEEDED(m_pObject.As(&inPlace))) inPlace->SetObjectRects(&position_, &position_);
    return S_OK;
}

// IOleInPlaceSiteEx

HRESULT COleControlSite::OnInPlaceActivateEx(BOOL* noRedraw, DWORD) {
    if (noRedraw) *noRedraw = FALSE;
    return OnInPlaceActivate();
}

HRESULT COleControlSite::OnInPlaceDeactivateEx(BOOL) { return OnInPlaceDeactivate(); }

HRESULT COleControlSite::RequestUIActivate() { return m_pCtrlCont ? S_OK : S_FALSE; }

// IOleControlSite

HRESULT COleControlSite::OnControlInfoChanged() { return S_OK; }

HRESULT COleControlSite::LockInPlaceActive(BOOL) { return S_OK; }

HRESULT COleControlSite::GetExtendedControl(IDispatch** dispatch) {
    if (!dispatch) return E_POINTER;
    *dispatch = nullptr;
    return E_NOTIMPL;
}

HRESULT COleControlSite::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
    if (!himetric || !container) return E_POINTER;
    // Positions and sizes scale alike: the container's origin is the window's.
    if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
        *container = HimetricToPixels(*himetric);
    } else if (flags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
        *himetric = PixelsToHimetric(*container);
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT COleControlSite::TranslateAccelerator(MSG*, DWORD) { return S_FALSE; }

HRESULT COleControlSite::OnFocus(BOOL) { return S_OK; }

HRESULT COleControlSite::ShowPropertyFrame() { return E_NOTIMPL; }

// IOleInPlaceUIWindow and IOleInPlaceFrame

HRESULT COleControlSite::GetBorder(RECT* border) {
    if (border) ::SetRectEmpty(border);
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT COleControlSite::RequestBorderSpace(const BORDERWIDTHS*) { return INPLACE_E_NOTOOLSPACE; }

HRESULT COleControlSite::SetBorderSpace(const BORDERWIDTHS* widths) {
    // Only "no tools" can be granted.
    if (!widths) return S_OK;
    const bool none = widths->left == 0 && widths->top == 0 && widths->right == 0 && widths->bottom == 0;
    return none ? S_OK : OLE_E_INVALIDRECT;
}

HRESULT COleControlSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }

HRESULT COleControlSite::InsertMenus(HMENU, OLEMENUGROUPWIDTHS* widths) {
    if (widths) {
        widths->width[0] = widths->width[2] = widths->width[4] = 0;
    }
    return S_OK;
}

HRESULT COleControlSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }

HRESULT COleControlSite::RemoveMenus(HMENU) { return S_OK; }

HRESULT COleControlSite::SetStatusText(LPCOLESTR) { return S_OK; }

HRESULT COleControlSite::EnableModeless(BOOL) { return S_OK; }

HRESULT COleControlSite::TranslateAccelerator(MSG*, WORD) { return S_FALSE; }

}  // namespace fw
