// Download, expansion, placement and registration of a missing control.
#include "install/control_installer.h"

#include <utility>

#include <windows.h>

#include "install/control_placement.h"
#include "install/kill_bit.h"
#include "url/url_parts.h"

namespace install {

ControlInstaller::ControlInstaller(ControlOffer offer, std::string storageDirectory,
                                   UrlRequester& browser)
    : offer_(std::move(offer)), storageDirectory_(std::move(storageDirectory)), browser_(browser) {}

// A page without a "Filename Url" offers nothing: resolved, the empty address
// would name the page's own folder.
ControlInstaller::Result ControlInstaller::OfferDownload() {
    if (offer_.filenameUrl.empty()) return Result::NothingOffered;
    const std::optional<std::string> address = urls::MakeAbsoluteUrl(offer_.filenameUrl, offer_.baseUrl);
    // A drive path or no URL at all: no dialog, no fetch.
    if (!address) return Result::NothingOffered;

    DownloadWarningDialog dialog(nullptr);
    dialog.control = offer_.control;
    dialog.site = *address;

    const fw::LifeWatch alive = life_.Watch();
    const INT_PTR answer = dialog.DoModal();
    if (!alive || answer != IDOK) return Result::Declined;
    // The file may arrive from inside the call; this object is not used after it.
    awaited_ = AwaitedFile{*address, browser_.NewRequestToken()};
    browser_.RequestUrl(*address, awaited_->token);
    return Result::Requested;
}

bool ControlInstaller::Awaits(std::uintptr_t token) const {
    return token != 0 && awaited_ && awaited_->token == token;
}

void ControlInstaller::EndRequest(std::uintptr_t token) {
    if (Awaits(token)) awaited_.reset();
}

ControlInstaller::Result ControlInstaller::InstallControlFile(const std::string& url,
                                                              const std::string& localFile,
                                                              std::uintptr_t token) {
    if (!awaited_) return Result::NotAwaited;
    const bool answers = awaited_->token != 0 ? awaited_->token == token
                                              : token == 0 && awaited_->url == url;
    if (!answers) return Result::NotAwaited;
    const std::string asked = std::move(awaited_->url);
    awaited_.reset();
    if (!offer_.isCompressed) return Result::NotCompressed;
    if (IsClassKilled(offer_.clsid)) return Result::Killed;

    const std::optional<std::string> placed =
        ExpandControlFile(urls::UrlParts(asked).GetFileName(), localFile);
    if (!placed) return Result::NotPlaced;
    if (!RegisterPlacedControl(*placed, offer_.clsid)) return Result::NotRegistered;
    return Result::Installed;
}

std::optional<std::string> ControlInstaller::ExpandControlFile(const std::string& fileName,
                                                               const std::string& localFile) const {
    const std::optional<std::string> placed = PlacedControlPath(storageDirectory_, fileName);
    if (!placed || !PlaceControlFile(localFile, *placed, offer_.clsid)) return std::nullopt;
    return placed;
}

}  // namespace install
