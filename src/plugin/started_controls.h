// The controls of the whole process that have been started and not yet
// stopped, in the order of starting. The list does not own the windows.
#pragma once

#include <cstdint>
#include <vector>

namespace plugin {

class ControlWindow;

class StartedControls {
public:
    void Add(ControlWindow* window);
    void Remove(ControlWindow* window);
    bool Contains(const ControlWindow* window) const;
    // A copy of the list, head to tail.
    std::vector<ControlWindow*> Snapshot() const { return windows_; }

    // Tells every started control that `changed` started (state 0) or
    // stopped (state 1). A control told of the change may start or stop
    // controls from inside the call: the walk goes over a snapshot and skips
    // windows that have left the list since.
    void NotifyStateChanged(ControlWindow* changed, int16_t state);

private:
    std::vector<ControlWindow*> windows_;
};

}  // namespace plugin
