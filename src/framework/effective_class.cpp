#include "framework/effective_class.h"

#include <algorithm>

namespace fw {

std::vector<CLSID> TreatAsChain(const CLSID& clsid) {
    std::vector<CLSID> chain{clsid};
    for (int step = 0; step < kTreatAsStepLimit; ++step) {
        CLSID next = CLSID_NULL;
        // S_FALSE: no emulation; any failure: nothing more to follow.
        if (::CoGetTreatAsClass(chain.back(), &next) != S_OK || next == CLSID_NULL) break;
        if (std::find(chain.begin(), chain.end(), next) != chain.end()) break;
        chain.push_back(next);
    }
    return chain;
}

CLSID EffectiveClassOf(const CLSID& clsid) { return TreatAsChain(clsid).back(); }

}  // namespace fw
