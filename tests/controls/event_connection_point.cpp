#include "event_connection_point.h"

#include <olectl.h>

#include <vector>

#include "control_variant.h"

namespace test_control {

EventConnectionPoint::EventConnectionPoint(IConnectionPointContainer* container,
                                           std::function<void(const char*)> onChange)
    : container_(container), onChange_(std::move(onChange)) {}

void EventConnectionPoint::Fire(DISPID dispid, DISPPARAMS* params) {
    // A sink may unadvise from inside its own call: walk a copy.
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> sinks;
    for (const auto& [cookie, sink] : sinks_) sinks.push_back(sink);
    for (const auto& sink : sinks)
        sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr,
                     nullptr, nullptr);
}

STDMETHODIMP EventConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = kEventsIid;
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = container_;
    container_->AddRef();
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(kEventsIid, reinterpret_cast<void**>(dispatch.GetAddressOf()))) &&
        FAILED(sink->QueryInterface(IID_PPV_ARGS(&dispatch))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = nextCookie_++;
    sinks_.emplace(*cookie, std::move(dispatch));
    onChange_("Advise");
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::Unadvise(DWORD cookie) {
    if (sinks_.erase(cookie) == 0) return CONNECT_E_NOCONNECTION;
    onChange_("Unadvise");
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections) *connections = nullptr;
    return E_NOTIMPL;
}

}  // namespace test_control
