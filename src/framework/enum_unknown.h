// An IEnumUnknown over a snapshot of objects. The enumerator holds one
// reference to each object for its whole life and hands out a new reference
// with every element it returns.
#pragma once

#include <vector>

#include <objidl.h>
#include <wrl/client.h>

#include "framework/module_objects.h"

namespace fw {

class CEnumUnknown final : public IEnumUnknown {
public:
    // Takes the references held by `objects`. On success *enumerator holds
    // the caller's reference; E_OUTOFMEMORY leaves it null.
    static HRESULT Create(std::vector<Microsoft::WRL::ComPtr<IUnknown>> objects,
                          IEnumUnknown** enumerator);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IUnknown** elements, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumUnknown** enumerator) override;

private:
    explicit CEnumUnknown(std::vector<Microsoft::WRL::ComPtr<IUnknown>> objects);
    ~CEnumUnknown() = default;

    const ModuleObject counted_;
    ULONG references_ = 1;
    std::vector<Microsoft::WRL::ComPtr<IUnknown>> objects_;
    std::size_t position_ = 0;
};

}  // namespace fw
