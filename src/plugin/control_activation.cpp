// From a delivered property file to a running control.
#include <ocidl.h>
#include <wrl/client.h>

#include "framework/adopt_com_ptr.h"
#include "install/control_registry_entry.h"
#include "install/kill_bit.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"
#include "propfile/ole_error.h"
#include "propfile/property_file_reader.h"
#include "propfile/storage_file.h"

namespace {

constexpr char kPropertySection[] = "Object Property Section";
constexpr char kContentsStream[] = "Contents";

// Stands `file` in the property section with "Contents" open as the control's
// saved state. False when the storage refuses the file or the section: the
// activation is abandoned then. A missing "Contents" is no refusal: the
// control starts as new.
bool OpenSavedState(CStorageFile& file, const std::string& path) {
    try {
        file.Open(path);
        file.EnterStorage(kPropertySection);
    } catch (const propfile::OleError&) {
        return false;
    }
    file.OpenChildStream(kContentsStream, CStorageFile::kStreamMode);
    return true;
}

// Leaves the section and the root. The file was only read: a commit refused
// on the way out (as for a read-only file) takes nothing from the control,
// which has its state by now; whatever is still held goes with the file.
void LeaveSavedState(CStorageFile& file) {
    try {
        file.LeaveStorage();
        file.LeaveStorage();
    } catch (const propfile::OleError&) {
    }
}

}  // namespace

// A window that already holds a record ignores further property files: the
// running control stays as it is, and a control cannot replace itself by
// asking for a URL that ends in ".opf".
void ControlWindow::LoadPropertyFile(std::string fileName, std::string url, int32_t width,
                                     int32_t height) {
    if (info) return;
    CPropertyFileReader reader;
    info = std::make_unique<COCXInfo>();
    reader.ReadPropertyFile(fileName, *info);  // activation goes on with what was read
    const std::size_t slash = url.rfind('/');
    info->baseUrl = slash == std::string::npos ? std::string() : url.substr(0, slash + 1);
    info->windowWidth = width;
    info->windowHeight = height;
    info->propertyFilePath = std::move(fileName);
    ActivateControl();
}

// Runs once per control: a started window (even one whose control could not
// be created) is never created, listed or started a second time.
void ControlWindow::ActivateControl() {
    if (!info || started || IsClassKilled(info->clsid)) return;  // killed: nothing, not even an offer
    ControlRegistryEntry registry;
    if (!registry.IsInstalled(info->clsid, info->productVersion)) {
        OfferDownload();
        return;
    }

    CStorageFile file;
    if (!OpenSavedState(file, info->propertyFilePath)) return;
    const RECT rect = {0, 0, info->windowWidth, info->windowHeight};
    CreateControl(info->clsid, WS_VISIBLE, rect, parentWindow, controlId, &file);
    LeaveSavedState(file);

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
