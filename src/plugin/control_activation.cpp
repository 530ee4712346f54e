// From a delivered property file to a running control.
#include <memory>
#include <utility>

#include "install/control_registry_entry.h"
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
bool OpenSavedState(propfile::CStorageFile& file, const std::string& path) {
    try {
        file.Open(path);
        file.EnterStorage(kPropertySection);
    } catch (const propfile::OleError&) {
        return false;
    }
    file.OpenChildStream(kContentsStream, propfile::CStorageFile::kStreamMode);
    return true;
}

// Leaves the section and the root. The file was only read: a commit refused
// on the way out (as for a read-only file) takes nothing from the control,
// which has its state by now; whatever is still held goes with the file.
void LeaveSavedState(propfile::CStorageFile& file) {
    try {
        file.LeaveStorage();
        file.LeaveStorage();
    } catch (const propfile::OleError&) {
    }
}

install::ControlOffer OfferOf(const propfile::COCXInfo& record) {
    return {{record.productName, record.companyName, record.fileDescription,
             record.productVersion, record.legalCopyright, record.legalTrademarks},
            record.filenameUrl,
            record.baseUrl,
            record.isCompressed != FALSE};
}

}  // namespace

void ControlWindow::LoadPropertyFile(std::string fileName, std::string url, int32_t width,
                                     int32_t height) {
    if (record_) return;
    auto record = std::make_unique<propfile::COCXInfo>();
    propfile::CPropertyFileReader reader;
    reader.ReadPropertyFile(fileName, *record);  // activation goes on with what was read
    const std::size_t slash = url.rfind('/');
    record->baseUrl = slash == std::string::npos ? std::string() : url.substr(0, slash + 1);
    record->windowWidth = width;
    record->windowHeight = height;
    record->propertyFilePath = std::move(fileName);
    TakeRecord(std::move(record));
}

// A window that already holds a record ignores further property files: the
// running control stays as it is, and a control cannot replace itself by
// asking for a URL that ends in ".opf".
void ControlWindow::TakeRecord(std::unique_ptr<propfile::COCXInfo> record) {
    if (record_ || !record) return;
    record_ = std::move(record);
    installer_ = std::make_unique<install::ControlInstaller>(
        OfferOf(*record_), ThePluginApp().ocxStorageDirectory,
        static_cast<install::UrlRequester&>(*this));
    ActivateControl();
}

// Runs once per control: a started window (even one whose control could not
// be created) is never created, listed or started a second time.
void ControlWindow::ActivateControl() {
    if (!record_ || started_) return;
    install::ControlRegistryEntry registry;
    if (!registry.IsInstalled(record_->clsid, record_->productVersion)) {
        OfferDownload();
        return;
    }

    propfile::CStorageFile file;
    if (!OpenSavedState(file, record_->propertyFilePath)) return;
    const RECT rect = {0, 0, record_->windowWidth, record_->windowHeight};
    CreateControl(record_->clsid, WS_VISIBLE, rect, parentWindow_, controlId, &file);
    LeaveSavedState(file);

    control_.Attach(GetControlUnknown());

    ThePluginApp().startedControls.Add(this);
    started_ = true;
    control_.Start();
    ThePluginApp().startedControls.NotifyStateChanged(this, 0);
    file.Close();
}

void ControlWindow::StopControl() {
    if (!started_) return;
    control_.Stop();
    ThePluginApp().startedControls.Remove(this);
    started_ = false;
    ThePluginApp().startedControls.NotifyStateChanged(this, 1);
}
