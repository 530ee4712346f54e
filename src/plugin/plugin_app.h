// The plug-in's application object: the list of started controls of the whole
// process and the directory into which control files are placed.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "framework/win_app.h"

class ControlWindow;

class PluginApp : public fw::CWinApp {
public:
    PluginApp();
    // Empties startedControls (the windows are not ours) before going.
    ~PluginApp() override;

    // Reads the control directory; always lets the library load.
    BOOL InitInstance() override;

    // Every control that has been started and not yet stopped, in the order
    // of starting. The list does not own the windows.
    std::list<ControlWindow*> startedControls;
    // Where control files are placed: "Ocx Storage" of the profile section
    // "Directories", else the system directory.
    std::string ocxStorageDirectory;

    // Tells every started control that `changed` started (state 0) or
    // stopped (state 1).
    void NotifyStateChanged(ControlWindow* changed, int16_t state);
};

// The library's one application object.
PluginApp& ThePluginApp();
