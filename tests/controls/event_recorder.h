// An event sink for tests: records every call made to it with copies of the
// arguments, in the order received (automation order inside one call).
#pragma once

#include <vector>

#include <oaidl.h>

namespace test_controls {

struct RecordedEvent {
    DISPID dispid;
    std::vector<VARIANT> args;  // rgvarg as received, each a copy
};

class EventRecorder : public IDispatch {
public:
    EventRecorder() = default;
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;
    ~EventRecorder();

    const std::vector<RecordedEvent>& events() const { return events_; }

    // A stack object: reference counting does not free it.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override { return --references_; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override;
    ULONG references() const { return references_; }

private:
    ULONG references_ = 0;
    std::vector<RecordedEvent> events_;
};

}  // namespace test_controls
