// The container of the OLE controls that one window hosts. It is a COM object
// whose lifetime belongs to the window that installs it (m_pCtrlCont): the
// reference count is kept for the controls' sake, but the owner deletes it.
#pragma once

#include <oleidl.h>

#include "framework/cmd_target.h"

namespace fw {

class CWnd;

class COleControlContainer : public CCmdTarget {
public:
    explicit COleControlContainer(CWnd* window);
    ~COleControlContainer() override;

    // The window whose controls this container holds.
    CWnd* m_pWnd;

    // COM identity of the container object. QueryInterface answers IUnknown
    // and IOleContainer (the one GetOleContainer gives out).
    HRESULT InternalQueryInterface(REFIID iid, void** object);
    ULONG InternalAddRef();
    ULONG InternalRelease();
    ULONG ReferenceCount() const { return references_; }

    // The container interface handed to the controls' sites. A derived
    // container may answer with its own implementation.
    virtual IOleContainer* GetOleContainer();

private:
    // The framework's own container interface: enumerates nothing.
    class XOleContainer : public IOleContainer {
    public:
        explicit XOleContainer(COleControlContainer& outer) : outer_(outer) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override;
        HRESULT STDMETHODCALLTYPE EnumObjects(DWORD flags, IEnumUnknown** enumerator) override;
        HRESULT STDMETHODCALLTYPE LockContainer(BOOL lock) override;

    private:
        COleControlContainer& outer_;
    };

    ULONG references_ = 0;
    XOleContainer oleContainer_{*this};
};

}  // namespace fw
