#include "plugin/started_controls.h"

#include <algorithm>

#include "plugin/control_window.h"

namespace plugin {

void StartedControls::Add(ControlWindow* window) { windows_.push_back(window); }

void StartedControls::Remove(ControlWindow* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

bool StartedControls::Contains(const ControlWindow* window) const {
    return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void StartedControls::NotifyStateChanged(ControlWindow* changed, int16_t state) {
    if (!changed || !changed->Record()) return;
    const std::string name = changed->Record()->clsidText;
    for (ControlWindow* window : Snapshot()) {
        if (Contains(window)) window->Control().OnNewControlStateChanged(name, state);
    }
}

}  // namespace plugin
