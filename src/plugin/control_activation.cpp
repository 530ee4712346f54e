// From a delivered property file to a running control.
#include <ocidl.h>
#include <wrl/client.h>

#include "framework/adopt_com_ptr.h"
#include "install/control_registry_entry.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"
#include "propfile/property_file_reader.h"
#include "propfile/saved_state.h"
#include "propfile/storage_file.h"

// A window that already holds a record ignores further property files: the
// running control stays as it is, and a control cannot replace itself by
// asking for a URL that ends in ".opf".
void ControlWindow::LoadPropertyFile(std::string fileName, std::string url, int32_t width,
                                     int32_t height) {
    if (info) return;
    CPropertyFileReader reader;
    info = std::make_unique<COCXInfo>();
    // One open of the file serves the record and the control's saved state.
    CStorageFile file;
    reader.ReadPropertyFile(fileName, *info, file);  // activation goes on with what was read
    const std::size_t slash = url.rfind('/');
    info->baseUrl = slash == std::string::npos ? std::string() : url.substr(0, slash + 1);
    info->windowWidth = width;
    info->windowHeight = height;
    info->propertyFilePath = std::move(fileName);
    ActivateControl(&file);
    propfile::LeaveSavedState(file);
}

// Runs once per control: a started window (even one whose control could not
// be created) is never created, listed or started a second time.
void ControlWindow::ActivateControl(CStorageFile* propertyFile) {
    if (!info || started) return;
    CStorageFile ownFile;
    CStorageFile& file = propertyFile != nullptr ? *propertyFile : ownFile;
    ControlRegistryEntry registry;
    if (!registry.IsInstalled(info->clsid, info->productVersion)) {
        propfile::LeaveSavedState(file);
        OfferDownload();
        return;
    }

    if (!propfile::OpenSavedState(file, info->propertyFilePath)) return;
    const RECT rect = {0, 0, info->windowWidth, info->windowHeight};
    CreateControl(info->clsid, WS_VISIBLE, rect, parentWindow, controlId, &file);
    propfile::LeaveSavedState(file);

    info->controlUnknown = GetControlUnknown();
    fw::AdoptComPtr(info->QueryControlInterface(IID_IPersistMemory));  // asked, not used
    info->BuildEventInfo();
    info->BuildMemberTable();

    ThePluginApp().startedControls.push_back(this);
    started = 1;
    InvokeStart();
    ThePluginApp().NotifyStateChanged(this, 0);
    file.Close();
}
