// Descriptions borrowed from an ITypeInfo (type attributes, function and
// variable descriptions) that go back to it when the holder goes. The
// ITypeInfo must outlive the holder.
#pragma once

#include <oaidl.h>

namespace fw {

inline void ReleaseTypeInfoPart(ITypeInfo* owner, TYPEATTR* part) { owner->ReleaseTypeAttr(part); }
inline void ReleaseTypeInfoPart(ITypeInfo* owner, FUNCDESC* part) { owner->ReleaseFuncDesc(part); }
inline void ReleaseTypeInfoPart(ITypeInfo* owner, VARDESC* part) { owner->ReleaseVarDesc(part); }

template <typename T>
class TypeInfoPart {
public:
    TypeInfoPart() = default;
    TypeInfoPart(const TypeInfoPart&) = delete;
    TypeInfoPart& operator=(const TypeInfoPart&) = delete;
    ~TypeInfoPart() { Reset(); }

    // The out-pointer for the Get call on `owner`; what was held goes back.
    T** Receive(ITypeInfo* owner) {
        Reset();
        owner_ = owner;
        return &part_;
    }
    void Reset() {
        if (part_) ReleaseTypeInfoPart(owner_, part_);
        part_ = nullptr;
    }
    T* get() const { return part_; }
    T* operator->() const { return part_; }
    explicit operator bool() const { return part_ != nullptr; }

private:
    ITypeInfo* owner_ = nullptr;
    T* part_ = nullptr;
};

using UniqueTypeAttr = TypeInfoPart<TYPEATTR>;
using UniqueFuncDesc = TypeInfoPart<FUNCDESC>;
using UniqueVarDesc = TypeInfoPart<VARDESC>;

}  // namespace fw
