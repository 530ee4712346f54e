// The test control: a windowed, in-place active OLE control with a dispatch
// interface described by its own type library, one event interface, and a
// small persisted state. Every call it receives is written to the DLL's log
// (test_control_log.h).
#pragma once

#include <string>

#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>
#include <wrl/client.h>

#include "event_connection_point.h"
#include "test_control_state.h"

namespace test_control {

class TestControl final : public IDispatch,
                    public IProvideClassInfo,
                    public IConnectionPointContainer,
                    public IPersistStreamInit,
                    public IOleObject,
                    public IOleInPlaceObject,
                    public IOleInPlaceActiveObject,
                    public IOleControl,
                    public IObjectSafety {
public:
    // Makes an object with one reference for the caller, or fails (the type
    // library cannot be loaded from the module).
    static HRESULT Create(REFIID riid, void** ppv);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IProvideClassInfo
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // IPersistStreamInit (and IPersistStream, which is its prefix)
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                        LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow (for both in-place interfaces)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID dispid) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IObjectSafety: untrusted data for IPersistStreamInit and IPersistStream
    // (every variant but scripting_not_init), untrusted callers for IDispatch
    // (the variants safe for scripting only)
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

    // For the window procedure: paints the caption and the kept first line;
    // a click fires "Clicked".
    void Paint(HDC dc, const RECT& client) const;
    void Click();

private:
    TestControl();
    ~TestControl();
    HRESULT LoadTypeInformation();

    void Log(std::string_view call, std::string_view args = {}) const;
    void LogAmbientUserMode();

    // Members reached through Invoke (control_members.cpp).
    HRESULT InvokeMember(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception);
    HRESULT CallStart(EXCEPINFO* exception);
    HRESULT CallStop();
    HRESULT CallOnGetUrlAsFile(DISPPARAMS* params);
    HRESULT CallOnNewControlStateChanged(DISPPARAMS* params);
    HRESULT CallFireRequestArgs(DISPPARAMS* params);
    HRESULT AccessCaption(WORD flags, DISPPARAMS* params, VARIANT* result);
    HRESULT AccessStartProperty(WORD flags, DISPPARAMS* params, VARIANT* result);
    void FireRequest(DISPID dispid, const char* name, const std::wstring& url, int32_t requestId);
    HRESULT CallKeptObjects();
    void LogKept(std::string_view call, HRESULT hr, std::string extra = {}) const;

    // In-place activation (control_window.cpp).
    HRESULT ActivateInPlace(const RECT* position);
    void Invalidate() const;

    LONG references_ = 1;
    int serial_;
    DWORD safetyOptions_ = 0;
    Microsoft::WRL::ComPtr<ITypeInfo> dispatchInfo_;
    Microsoft::WRL::ComPtr<ITypeInfo> classInfo_;
    EventConnectionPoint events_;

    test_controls::ControlState state_;
    std::wstring firstLine_;  // of the last file handed to OnGetUrlAsFile
    int32_t startProperty_ = 0;
    bool dirty_ = false;
    SIZEL extent_{2540, 2540};

    Microsoft::WRL::ComPtr<IOleClientSite> clientSite_;
    Microsoft::WRL::ComPtr<IOleAdviseHolder> adviseHolder_;
    Microsoft::WRL::ComPtr<IOleInPlaceSite> inPlaceSite_;  // set while active
    Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame_;
    Microsoft::WRL::ComPtr<IOleInPlaceUIWindow> document_;
    HWND window_ = nullptr;

    // keeps_site: what the container handed out, kept after it is taken back.
    Microsoft::WRL::ComPtr<IOleClientSite> keptSite_;
    Microsoft::WRL::ComPtr<IOleContainer> keptContainer_;
    Microsoft::WRL::ComPtr<IOleInPlaceFrame> keptFrame_;
    Microsoft::WRL::ComPtr<IOleInPlaceUIWindow> keptDocument_;
};

}  // namespace test_control
