// The class the platform really creates for a class id: a class may be
// registered to be emulated by another ("TreatAs"), and CoCreateInstance then
// creates that one instead. Decisions about what a page may run (the
// kill-bit, the safety of a control) are made for every class on the way.
#pragma once

#include <vector>

#include <objbase.h>

namespace fw {

// At most this many TreatAs steps are followed; a longer chain stops there.
inline constexpr int kTreatAsStepLimit = 16;

// `clsid` first, then each class its predecessor is treated as
// (CoGetTreatAsClass), each class once: a chain that comes back to a class
// already on it ends before the repetition. Never empty; allocates.
std::vector<CLSID> TreatAsChain(const CLSID& clsid);

// The last class of TreatAsChain: `clsid` itself when it has no TreatAs.
CLSID EffectiveClassOf(const CLSID& clsid);

}  // namespace fw
