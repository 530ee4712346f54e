#include "framework/enum_unknown.h"

#include <new>

namespace fw {

using Microsoft::WRL::ComPtr;

CEnumUnknown::CEnumUnknown(std::vector<ComPtr<IUnknown>> objects) : objects_(std::move(objects)) {}

HRESULT CEnumUnknown::Create(std::vector<ComPtr<IUnknown>> objects, IEnumUnknown** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = new (std::nothrow) CEnumUnknown(std::move(objects));
    return *enumerator ? S_OK : E_OUTOFMEMORY;
}

HRESULT CEnumUnknown::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IEnumUnknown) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IEnumUnknown*>(this);
    return S_OK;
}

ULONG CEnumUnknown::AddRef() { return ++references_; }

ULONG CEnumUnknown::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT CEnumUnknown::Next(ULONG count, IUnknown** elements, ULONG* fetched) {
    if (!elements || (count > 1 && !fetched)) return E_POINTER;
    ULONG given = 0;
    while (given < count && position_ < objects_.size()) {
        IUnknown* element = objects_[position_++].Get();
        if (element) element->AddRef();
        elements[given++] = element;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

HRESULT CEnumUnknown::Skip(ULONG count) {
    const std::size_t left = objects_.size() - position_;
    if (count > left) {
        position_ = objects_.size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

HRESULT CEnumUnknown::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT CEnumUnknown::Clone(IEnumUnknown** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    try {
        auto* copy = new CEnumUnknown(objects_);
        copy->position_ = position_;
        *enumerator = copy;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace fw
