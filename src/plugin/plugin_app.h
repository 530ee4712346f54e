// The plug-in's application object: the list of started controls of the whole
// process, the offers of missing controls, and the directory into which
// control files are placed.
#pragma once

#include <cstdint>
#include <string>

#include "framework/win_app.h"
#include "plugin/offer_board.h"
#include "plugin/started_controls.h"

namespace plugin {

class PluginApp : public fw::CWinApp {
public:
    PluginApp();
    ~PluginApp() override;

    // Reads the control directory; always lets the library load.
    BOOL InitInstance() override;

    StartedControls startedControls;
    // The offers of missing controls, shared by the instances.
    OfferBoard offers;
    // Where control files are placed: "Ocx Storage" of the profile section
    // "Directories", else the system directory.
    std::wstring ocxStorageDirectory;
    // Where they are placed, registered for this user alone, when that
    // directory or the machine's class keys cannot be written:
    // %LOCALAPPDATA%\Trevalon\Controls.
    std::wstring perUserStorageDirectory;
};

// The library's one application object.
PluginApp& ThePluginApp();

}  // namespace plugin
