// The control's one connection point, for its default event interface. It
// lives inside the control and shares its reference count; sinks are held
// as IDispatch.
#pragma once

#include <functional>
#include <map>

#include <ocidl.h>
#include <wrl/client.h>

namespace test_control {

class EventConnectionPoint : public IConnectionPoint {
public:
    // `container` owns this object and outlives it; `onChange` is told
    // "Advise" or "Unadvise" for the log.
    EventConnectionPoint(IConnectionPointContainer* container,
                         std::function<void(const char*)> onChange);

    // Calls `dispid` on every sink with `params`; a sink that fails is skipped.
    void Fire(DISPID dispid, DISPPARAMS* params);
    void DisconnectAll() { sinks_.clear(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return container_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return container_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

private:
    IConnectionPointContainer* container_;
    std::function<void(const char*)> onChange_;
    std::map<DWORD, Microsoft::WRL::ComPtr<IDispatch>> sinks_;
    DWORD nextCookie_ = 1;
};

}  // namespace test_control
