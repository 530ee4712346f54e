// The container's question between creating a control and loading it: may
// this control (as created) be given the state the caller holds for it? An
// empty gate lets every control be loaded. Called once per creation; it may
// not destroy the control or its window.
#pragma once

#include <functional>

#include <unknwn.h>

namespace fw {

using StateGate = std::function<bool(IUnknown* control)>;

}  // namespace fw
