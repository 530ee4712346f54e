#include "event_recorder.h"

namespace test_controls {

EventRecorder::~EventRecorder() {
    for (auto& event : events_)
        for (auto& arg : event.args) ::VariantClear(&arg);
}

STDMETHODIMP EventRecorder::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP EventRecorder::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP EventRecorder::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP EventRecorder::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP EventRecorder::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) {
    RecordedEvent event{dispid, {}};
    for (UINT i = 0; params && i < params->cArgs; ++i) {
        VARIANT copy;
        ::VariantInit(&copy);
        ::VariantCopy(&copy, &params->rgvarg[i]);
        event.args.push_back(copy);
    }
    events_.push_back(std::move(event));
    return S_OK;
}

}  // namespace test_controls
