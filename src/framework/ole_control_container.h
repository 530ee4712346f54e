// The container of the OLE controls that one window hosts: a reference-counted
// COM object. The window that installs it (m_pCtrlCont) holds the reference
// it is created with; controls hold more through the IOleContainer their
// sites hand out, and may keep them after their page is gone. At teardown the
// window disconnects it instead of deleting it: from then on it touches no
// window and no control, and it goes when the last holder releases it.
#pragma once

#include <vector>

#include <oleidl.h>

#include "framework/cmd_target.h"
#include "framework/state_gate.h"
#include "framework/module_objects.h"

namespace fw {

class COleControlSite;
class COleStreamFile;
class CWnd;

class COleControlContainer : public CCmdTarget {
public:
    // The new container carries one reference, its window's.
    explicit COleControlContainer(CWnd* window);

    // The window whose controls this container holds; null once disconnected.
    CWnd* m_pWnd;

    // Called once by the window that holds the container, in place of
    // deleting it: destroys the controls still hosted, forgets the window and
    // drops the window's reference. Afterwards the container interface
    // answers E_UNEXPECTED, and EnumObjects an empty enumeration.
    void Disconnect();
    bool connected() const { return m_pWnd != nullptr; }

    // COM identity of the container object. QueryInterface answers IUnknown
    // and IOleContainer (the one GetOleContainer gives out).
    HRESULT InternalQueryInterface(REFIID iid, void** object);
    ULONG InternalAddRef();
    ULONG InternalRelease();
    ULONG ReferenceCount() const { return references_; }

    // The container interface handed to the controls' sites. A derived
    // container may answer with its own implementation.
    virtual IOleContainer* GetOleContainer();

    // Creates the control `clsid` in a new site of this container (see
    // COleControlSite::CreateOrLoad) and wraps it in `wndCtrl`. On failure
    // the site is gone again and `wndCtrl` wraps nothing.
    BOOL CreateControl(CWnd* wndCtrl, REFCLSID clsid, DWORD style, const RECT& rect, UINT id,
                       COleStreamFile* persist, const StateGate& mayLoad = {});

    // Forgets `site`; the container's reference to it passes to the caller.
    void RemoveSite(COleControlSite* site);
    std::size_t siteCount() const { return sites_.size(); }

protected:
    // Only the last Release deletes the container.
    ~COleControlContainer() override;

    // The answer of the framework's container interface to EnumObjects: no
    // objects. A derived container may enumerate its own; it is asked only
    // while the container is connected.
    virtual HRESULT EnumObjects(DWORD flags, IEnumUnknown** enumerator);

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

    const ModuleObject counted_;  // controls may keep the container past shutdown
    ULONG references_ = 1;
    XOleContainer oleContainer_{*this};
    std::vector<COleControlSite*> sites_;  // each holding the container's reference
};

}  // namespace fw
