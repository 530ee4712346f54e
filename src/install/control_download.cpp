// Download, expansion, placement and registration of a missing control.
#include <windows.h>

#include "install/control_placement.h"
#include "install/control_registry_entry.h"
#include "install/download_warning_dialog.h"
#include "install/kill_bit.h"
#include "plugin/browser_services.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"
#include "scripting/url_parts.h"

// The browser may tear the instance down from inside the dialog's message
// loop (NPP_Destroy, or NPP_SetWindow without a window): then this window
// object is gone when DoModal returns, and the answer is dropped.
//
// A page without a "Filename Url" offers nothing: resolved, the empty address
// would name the page's own folder.
void ControlWindow::OfferDownload() {
    if (!info || info->filenameUrl.empty()) return;
    const std::optional<std::string> address = MakeAbsoluteUrl(info->filenameUrl, info->baseUrl);
    if (!address) return;  // a drive path or no URL at all: no dialog, no fetch

    DownloadWarningDialog dialog(nullptr);
    dialog.productName = info->productName;
    dialog.companyName = info->companyName;
    dialog.fileDescription = info->fileDescription;
    dialog.legalCopyright = info->legalCopyright;
    dialog.legalTrademarks = info->legalTrademarks;
    dialog.productVersion = info->productVersion;
    dialog.site = *address;

    const std::weak_ptr<void> alive = lifeToken;
    const INT_PTR answer = dialog.DoModal();
    if (alive.expired() || answer != IDOK) return;
    if (!parentWindow) return;
    // The file may arrive from inside the call; this object is not used after it.
    downloadRequested = true;
    BrowserGetURL(parentWindow->instance, address->c_str(), nullptr);
}

void ControlWindow::InstallControlFile(std::string url, std::string localFile) {
    // Only the one file that answers a Yes is installed.
    if (!info || !downloadRequested) return;
    downloadRequested = false;
    if (!info->isCompressed || IsClassKilled(info->clsid)) return;

    const std::optional<std::string> placed =
        ExpandControlFile(UrlParts(url).GetFileName(), localFile);
    if (!placed) return;
    if (!RegisterPlacedControl(*placed, info->clsid)) return;
    ActivateControl();
}

std::optional<std::string> ControlWindow::ExpandControlFile(const std::string& fileName,
                                                            const std::string& localFile) {
    const std::optional<std::string> placed =
        PlacedControlPath(ThePluginApp().ocxStorageDirectory, fileName);
    if (!info || !placed || !PlaceControlFile(localFile, *placed, info->clsid)) return std::nullopt;
    return placed;
}
