// A control's default event interface as its class information describes it.
#pragma once

#include <oaidl.h>
#include <wrl/client.h>

namespace fw {

// The type information of the first interface the class implements with the
// flags default and source and without restricted; null when there is none or
// that interface cannot be resolved (no later one is tried).
Microsoft::WRL::ComPtr<ITypeInfo> DefaultSourceTypeInfo(ITypeInfo* classInfo);

}  // namespace fw
