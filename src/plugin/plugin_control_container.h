// The control container of one PluginWindow. Its IOleContainer lets a control
// enumerate every started control of the process, on any page.
#pragma once

#include "framework/ole_control_container.h"

class PluginControlContainer : public fw::COleControlContainer {
public:
    explicit PluginControlContainer(fw::CWnd* window);

    IOleContainer* GetOleContainer() override;

private:
    class XOleContainer : public IOleContainer {
    public:
        explicit XOleContainer(PluginControlContainer& outer) : outer_(outer) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override;
        // Flags with OLECONTF_EMBEDDINGS: the controls of startedControls, head
        // to tail, skipping entries without a control. Otherwise empty.
        HRESULT STDMETHODCALLTYPE EnumObjects(DWORD flags, IEnumUnknown** enumerator) override;
        HRESULT STDMETHODCALLTYPE LockContainer(BOOL lock) override;

    private:
        PluginControlContainer& outer_;
    };

    XOleContainer oleContainer_{*this};
};
