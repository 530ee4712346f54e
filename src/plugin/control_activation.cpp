// From a delivered property file to a running control.
#include <memory>
#include <utility>

#include "framework/effective_class.h"
#include "install/control_registry_entry.h"
#include "install/kill_bit.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"
#include "propfile/property_file_reader.h"
#include "propfile/saved_state.h"
#include "propfile/storage_file.h"
#include "scripting/scripting_safety.h"

namespace plugin {

namespace {

install::ControlOffer OfferOf(const propfile::COCXInfo& record) {
    return {{record.productName, record.companyName, record.fileDescription,
             record.productVersion, record.legalCopyright, record.legalTrademarks},
            record.filenameUrl,
            record.baseUrl,
            record.isCompressed != FALSE,
            record.clsid};
}

}  // namespace

void ControlWindow::LoadPropertyFile(std::string fileName, std::optional<std::string> bytes,
                                     std::string url, int32_t width, int32_t height) {
    if (record_) return;
    auto record = std::make_unique<propfile::COCXInfo>();
    // One open of the bytes serves the record and the control's saved state.
    propfile::CStorageFile file;
    const bool readable =
        bytes && propfile::CPropertyFileReader().ReadPropertyBytes(*bytes, *record, file);
    const std::size_t slash = url.rfind('/');
    record->baseUrl = slash == std::string::npos ? std::string() : url.substr(0, slash + 1);
    record->windowWidth = width;
    record->windowHeight = height;
    record->propertyFilePath = std::move(fileName);
    if (!readable) {
        // The record stays (later property files are still ignored), but
        // nothing is created or offered for a class that was never read.
        propfile::LeaveSavedState(file);
        record_ = std::move(record);
        return;
    }
    propertyBytes_ = std::move(*bytes);
    TakeRecord(std::move(record), &file);
    propfile::LeaveSavedState(file);
}

// A window that already holds a record ignores further property files: the
// running control stays as it is, and a control cannot replace itself by
// asking for a URL that ends in ".opf".
void ControlWindow::TakeRecord(std::unique_ptr<propfile::COCXInfo> record,
                               propfile::CStorageFile* propertyFile) {
    if (record_ || !record) return;
    record_ = std::move(record);
    installer_ = std::make_unique<install::ControlInstaller>(
        OfferOf(*record_),
        install::StorageDirectories{ThePluginApp().ocxStorageDirectory,
                                    ThePluginApp().perUserStorageDirectory},
        static_cast<install::UrlRequester&>(*this));
    ActivateControl(propertyFile);
}

// Runs once per control: a started window (even one whose control could not
// be created) is never created, listed or started a second time. A missing
// control is offered at most once per window.
void ControlWindow::ActivateControl(propfile::CStorageFile* propertyFile) {
    // A killed class gets nothing, not even an offer: neither the named one
    // nor any the platform would create in its place.
    if (!record_ || started_ || install::IsClassKilled(record_->clsid)) return;
    propfile::CStorageFile ownFile;
    propfile::CStorageFile& file = propertyFile != nullptr ? *propertyFile : ownFile;
    install::ControlRegistryEntry registry;
    if (!registry.IsInstalled(record_->clsid, record_->productVersion)) {
        propfile::LeaveSavedState(file);
        OfferDownload();
        return;
    }

    // The saved state comes from the bytes read at delivery: the browser's
    // copy of the file may be gone by now (after an installation).
    if (!propfile::OpenSavedState(file, propertyBytes_)) return;
    const RECT rect = {0, 0, record_->windowWidth, record_->windowHeight};
    const CLSID named = record_->clsid;
    const CLSID effective = fw::EffectiveClassOf(named);
    // The page's data (saved state, param-NAME attributes) reaches only a
    // control that accepts untrusted data; any other starts as new.
    safeForInitializing_ = false;
    const fw::StateGate mayLoad = [this, &named, &effective](IUnknown* control) {
        safeForInitializing_ = scripting::IsSafeForInitializing(control, named, effective);
        return safeForInitializing_;
    };
    // From here on each step runs the control's code (its creation, type
    // information, safety answers, properties, "Start", the notices), and
    // the control may end the page in any of them (life_token.h).
    const fw::LifeWatch alive = Watch();
    CreateControl(named, WS_VISIBLE, rect, parentWindow_, controlId, &file, mayLoad);
    propfile::LeaveSavedState(file);
    if (!alive) return;

    control_.Attach(GetControlUnknown());
    scripting_.Attach(GetControlUnknown(), named, effective);
    if (!alive) return;
    if (GetControlUnknown() && !safeForInitializing_) {
        ShowStatus("The control is not safe for initialization: it starts without the page's data.");
    }
    if (!alive) return;
    ApplyEmbedParameters();
    if (!alive) return;

    ThePluginApp().startedControls.Add(this);
    started_ = true;
    control_.Start();
    if (!alive) return;
    ThePluginApp().startedControls.NotifyStateChanged(this, 0);
    if (!alive) return;
    file.Close();
}

void ControlWindow::StopControl() {
    if (!started_) return;
    const fw::LifeWatch alive = Watch();
    control_.Stop();
    if (!alive) return;
    ThePluginApp().startedControls.Remove(this);
    started_ = false;
    ThePluginApp().startedControls.NotifyStateChanged(this, 1);
}

}  // namespace plugin
