// Download, expansion, placement and registration of a missing control.
#include "install/control_installer.h"

#include <utility>

#include <windows.h>

#include "framework/class_id_text.h"
#include "install/class_registration.h"
#include "install/control_placement.h"
#include "install/control_registry_entry.h"
#include "install/kill_bit.h"
#include "install/placement_record.h"
#include "install/publisher_check.h"
#include "propfile/ansi_text.h"
#include "url/url_parts.h"

namespace install {

namespace {

const char* StatusPrefix(ControlInstaller::Result result) {
    using Result = ControlInstaller::Result;
    switch (result) {
    case Result::NotCompressed:
        return "The control file was not installed: the page does not say it is compressed";
    case Result::Killed: return "The control was not installed: it is disabled on this computer";
    case Result::NotPlaced: return "The control file was not placed";
    case Result::NotRegistered: return "The control was not installed";
    case Result::NeedsAdministrator:
        return "The control needs an administrator install: it does not register for one user alone";
    default: return nullptr;
    }
}

}  // namespace

ControlInstaller::ControlInstaller(ControlOffer offer, StorageDirectories storage,
                                   UrlRequester& browser)
    : offer_(std::move(offer)), storage_(std::move(storage)), browser_(browser) {}

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
    if (!browser_.RequestUrl(*address, awaited_->token)) {
        awaited_.reset();
        return Result::RequestRefused;
    }
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
    if (!offer_.isCompressed) return Report(Result::NotCompressed);
    if (IsClassKilled(offer_.clsid)) return Report(Result::Killed);

    const std::optional<std::wstring> name =
        PlacedControlName(propfile::WidenAnsi(urls::UrlParts(asked).GetFileName()));
    if (!name) return Report(Result::NotPlaced, "its address gives no usable file name");
    std::optional<ExpansionSpot> spot = ReserveExpansionSpot(storage_);
    if (!spot) return Report(Result::NotPlaced, "no storage directory can be written");
    if (!ExpandLzFile(propfile::WidenAnsi(localFile), spot->file.path())) {
        return Report(Result::NotPlaced, "it could not be expanded");
    }
    PlacedFile placed;
    placed.classId = fw::ClassIdText(offer_.clsid);
    placed.version = FileVersionText(spot->file.path());
    const std::optional<FileFingerprint> fingerprint = FingerprintOf(spot->file.path());
    if (!fingerprint) return Report(Result::NotPlaced, "it could not be read back");
    placed.fingerprint = *fingerprint;
    // The expanded file is complete here and not yet anywhere a loader
    // looks: it is checked before it is placed. The check may ask the user,
    // and the browser may end this installer meanwhile; a file it does not
    // admit goes with `spot`.
    const fw::LifeWatch alive = life_.Watch();
    const PublisherDecision publisherCheck = VerifyExpandedControl(spot->file.path(), asked);
    if (!alive) return Result::Declined;
    if (publisherCheck.kind != PublisherDecision::Kind::Place) {
        browser_.ShowStatus(publisherCheck.statusLine);
        return publisherCheck.kind == PublisherDecision::Kind::Refused ? Result::Refused
                                                                        : Result::Declined;
    }
    placed.publisher = publisherCheck.publisher;

    const std::optional<PlacementTarget> target = ChooseTarget(spot->directory, *name, placed.classId);
    if (!target) return Report(Result::NotPlaced, "no free file name in the storage directory");
    placed.path = target->path;
    const ClassKeySnapshot classBefore(offer_.clsid);
    ControlMove move(spot->file, *target);
    if (!move.placed()) return Report(Result::NotPlaced, "the file could not be moved into place");
    // The control's registration runs its code, which may end the page and
    // this installer (life_token.h): the installation is finished or undone
    // with what is held here, and only an installer still there reports.
    const fw::LifeWatch stillHere = life_.Watch();
    if (const std::optional<Result> failed = RegisterPlacedControl(
            target->path, spot->scope, offer_.clsid, offer_.control.productVersion)) {
        move.Undo();
        // The file that is back registers itself again; the class key is
        // then put back as it was, whatever either registration wrote.
        if (target->replacesOwnFile) RunSelfRegistration(target->path, true, spot->scope);
        classBefore.Restore();
        if (!stillHere) return *failed;
        return Report(*failed, *failed == Result::NotRegistered
                                   ? "it did not register the page's class and version"
                                   : nullptr);
    }
    move.Commit();
    RecordPlacedFile(placed);
    if (!stillHere) return Result::Installed;
    // Who signed it, or that the user took it unsigned: the installation's
    // one line. Nothing of this object is used after the call.
    browser_.ShowStatus(publisherCheck.statusLine);
    return Result::Installed;
}

std::optional<ControlInstaller::Result> ControlInstaller::RegisterPlacedControl(
    const std::wstring& path, RegistrationScope scope, CLSID clsid, std::string version) {
    const bool registered = RunSelfRegistration(path, true, scope);
    std::optional<Result> failed;
    if (registered && scope == RegistrationScope::User && !HasUserClassKey(clsid)) {
        failed = Result::NeedsAdministrator;
    } else if (!registered || IsClassKilled(clsid)) {
        failed = Result::NotRegistered;
    } else {
        ControlRegistryEntry lookup;
        const std::optional<std::wstring> server = RegisteredServerFile(clsid);
        if (!lookup.IsInstalled(clsid, version) || !server ||
            !IsSameFile(*server, path)) {
            failed = Result::NotRegistered;
        }
    }
    if (failed) RunSelfRegistration(path, false, scope);
    return failed;
}

ControlInstaller::Result ControlInstaller::Report(Result result, const char* why) {
    const char* prefix = StatusPrefix(result);
    if (prefix == nullptr) return result;
    std::string line = prefix;
    if (why != nullptr) line.append(": ").append(why);
    line += '.';
    // The browser may end the caller from inside: nothing of this object is
    // used after the call.
    browser_.ShowStatus(line);
    return result;
}

}  // namespace install
