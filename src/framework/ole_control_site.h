// The site of one hosted OLE control inside a COleControlContainer: the
// object through which the control talks to its container. One COM object
// answers as the control's client site, in-place site, control site, ambient
// property dispatch and in-place frame; a second, small object receives the
// control's events and routes them to the window object that wraps the
// control (OnCmdMsg with CN_EVENT).
//
// Lifetime: the site is reference-counted. Its container holds one reference
// from creation until DestroyControl; the control holds others while it keeps
// the site. After DestroyControl the site is disconnected: a control that
// kept a reference past its release only gets E_UNEXPECTED, never a dangling
// container or window.
#pragma once

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include "framework/cmd_target.h"
#include "framework/state_gate.h"
#include "framework/module_objects.h"

namespace fw {

class COleControlContainer;
class COleStreamFile;
class CWnd;

class COleControlSite : public CCmdTarget,
                        public IOleClientSite,
                        public IOleInPlaceSiteEx,
                        public IOleControlSite,
                        public IOleInPlaceFrame,
                        public IDispatch {
public:
    // The new site carries one reference, the container's.
    explicit COleControlSite(COleControlContainer* container);

    COleControlContainer* m_pCtrlCont;  // null once disconnected
    // The window object that wraps the control; not owned; null once
    // disconnected.
    CWnd* m_pWndCtrl = nullptr;
    // The control; the site holds the reference that keeps it alive.
    Microsoft::WRL::ComPtr<IUnknown> m_pObject;
    // The control's own window, when it has one.
    HWND m_hWnd = nullptr;
    UINT m_nID = 0;

    // Creates the control `clsid`, loads its state from `persist` (the open
    // stream of a stream file, read from its first byte; an empty or missing
    // stream initialises the control as new), activates it in place in `rect`
    // of the container's window and attaches its window to `wndCtrl`. On
    // failure nothing is left: no control, no connection, and the caller
    // destroys the site. `mayLoad`, when given, is asked once the control is
    // created and before anything is loaded: false initialises the control
    // as new and leaves `persist` unread.
    HRESULT CreateOrLoad(REFCLSID clsid, CWnd* wndCtrl, const RECT& rect, DWORD style, UINT id,
                         COleStreamFile* persist, const StateGate& mayLoad = {});

    // Deactivates, closes and releases the control (the teardown order of
    // mature containers), detaches the window object, leaves the container
    // and drops the container's reference. Returns TRUE.
    BOOL DestroyControl();

    // IUnknown: one table for every interface of the site.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD whichMoniker, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

    // IOleWindow (shared by the in-place site and the frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               RECT* position, RECT* clip,
                                               OLEINPLACEFRAMEINFO* frameInfo) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(const RECT* position) override;

    // IOleInPlaceSiteEx
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL noRedraw) override;
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override;

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override;
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL lock) override;
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** dispatch) override;
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message, DWORD modifiers) override;
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL gotFocus) override;
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override;

    // IOleInPlaceUIWindow and IOleInPlaceFrame: a frame without tools or menus.
    HRESULT STDMETHODCALLTYPE GetBorder(RECT* border) override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(const BORDERWIDTHS* widths) override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(const BORDERWIDTHS* widths) override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message, WORD id) override;

    // IDispatch: the ambient properties.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    ULONG ReferenceCount() const { return references_; }
    bool inPlaceActive() const { return inPlaceActive_; }

private:
    // Receives the control's events on its default source interface. Its
    // reference count is the site's, so the site outlives every connection.
    class EventSink : public IDispatch {
    public:
        explicit EventSink(COleControlSite& site) : site_(site) {}
        IID eventIid = IID_NULL;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                LCID locale, DISPID* ids) override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                         DISPPARAMS* params, VARIANT* result,
                                         EXCEPINFO* exception, UINT* argumentError) override;

    private:
        COleControlSite& site_;
    };

    ~COleControlSite() override;

    HRESULT LoadState(COleStreamFile* persist);
    HRESULT ConnectEvents();
    void DisconnectEvents();
    HRESULT ActivateInPlace(DWORD style);
    void Teardown();
    HWND ContainerWindow() const;
    HRESULT GetAmbientProperty(DISPID id, VARIANT* value) const;
    // Hands an event of the control to the window object that wraps it.
    HRESULT RouteEvent(DISPID id, DISPPARAMS* params, EXCEPINFO* exception, UINT* argumentError);

    const ModuleObject counted_;  // controls may keep the site past shutdown
    ULONG references_ = 1;
    Microsoft::WRL::ComPtr<IOleObject> oleObject_;
    RECT position_{};
    bool clientSiteSet_ = false;
    bool inPlaceActive_ = false;
    EventSink eventSink_{*this};
    Microsoft::WRL::ComPtr<IConnectionPoint> eventPoint_;
    DWORD eventCookie_ = 0;
};

}  // namespace fw
