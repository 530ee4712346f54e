// ControlInstaller: the download offer for a control that is not installed,
// and the placement and registration of the file the user said Yes to.
// Activating the installed control is the caller's business.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "install/download_warning_dialog.h"

namespace install {

// The browser as the installer needs it: one URL fetched and delivered as a
// file. The browser may deliver it, or tear the caller down, from inside the
// call.
class UrlRequester {
public:
    virtual void RequestUrl(const std::string& absoluteUrl) = 0;

protected:
    ~UrlRequester() = default;
};

// What the property file says about the control: shown in the warning, and
// where its file comes from.
struct ControlOffer {
    ControlDescription control;
    std::string filenameUrl;  // as written in the property file
    std::string baseUrl;      // the property file's directory, with its slash
    bool isCompressed = false;
    CLSID clsid = CLSID_NULL;  // the class the file must install
};

class ControlInstaller {
public:
    enum class Result {
        NothingOffered,  // no "Filename Url", or one that names no URL
        Declined,        // No, Escape, the close box, or no dialog
        Requested,       // Yes: the browser was asked for the file
        NotAwaited,      // a file nobody said Yes to
        NotCompressed,   // the property file does not say "IsCompressed"
        Killed,          // the class is killed: never installed
        NotPlaced,       // refused name or failed expansion: nothing left behind
        NotRegistered,   // placed, but its self-registration failed, or it
                         // killed its own class (then it is removed again)
        Installed,       // placed and registered
    };

    // `browser` is not owned and outlives the installer.
    ControlInstaller(ControlOffer offer, std::string storageDirectory, UrlRequester& browser);

    // Shows the warning and, on Yes, asks the browser for the control file.
    // The browser may tear the caller (and this installer) down from inside
    // the dialog's message loop or the request: the installer is not used
    // after either then, and the answer of a torn-down caller is dropped.
    Result OfferDownload();

    // Only the one file that answers a Yes is installed: expanded into the
    // storage directory under its URL's file name stem and ".ocx" without
    // overwriting anything but an earlier server of the same class, then
    // registered.
    Result InstallControlFile(const std::string& url, const std::string& localFile);

    // Expands the delivered file into the storage directory under
    // `fileName`'s stem and ".ocx"; the placed path, or nothing when the name
    // is refused or the expansion failed (no partial file is left).
    std::optional<std::string> ExpandControlFile(const std::string& fileName,
                                                 const std::string& localFile) const;

private:
    ControlOffer offer_;
    std::string storageDirectory_;
    UrlRequester& browser_;
    // Set when the user said Yes and the file was asked for; the first
    // control file delivered afterwards clears it.
    bool downloadRequested_ = false;
    // Expires with this object: the modal loop learns from it whether the
    // installer was torn down meanwhile.
    const std::shared_ptr<void> lifeToken_ = std::make_shared<char>(0);
};

}  // namespace install
