#include "framework/default_source.h"

#include "framework/type_info_parts.h"

using Microsoft::WRL::ComPtr;

namespace fw {

ComPtr<ITypeInfo> DefaultSourceTypeInfo(ITypeInfo* classInfo) {
    UniqueTypeAttr attributes;
    if (!classInfo || FAILED(classInfo->GetTypeAttr(attributes.Receive(classInfo))) || !attributes) {
        return nullptr;
    }
    constexpr int kMask = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE | IMPLTYPEFLAG_FRESTRICTED;
    for (UINT index = 0; index < attributes->cImplTypes; ++index) {
        INT flags = 0;
        if (FAILED(classInfo->GetImplTypeFlags(index, &flags))) continue;
        if ((flags & kMask) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) continue;
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> sourceInfo;
        if (FAILED(classInfo->GetRefTypeOfImplType(index, &reference)) ||
            FAILED(classInfo->GetRefTypeInfo(reference, &sourceInfo))) {
            return nullptr;
        }
        return sourceInfo;
    }
    return nullptr;
}

}  // namespace fw
