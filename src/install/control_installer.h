// ControlInstaller: the download offer for a control that is not installed,
// and the placement and registration of the file the user said Yes to.
// Activating the installed control is the caller's business.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "framework/life_token.h"
#include "install/download_warning_dialog.h"

namespace install {

// The browser as the installer needs it: one URL fetched and delivered as a
// file, and a line in its status bar. The browser may deliver the file, or
// tear the caller down, from inside the request.
class UrlRequester {
public:
    // A token for the next request that the browser's answer to it will
    // carry, never used for another request; 0 when the browser binds no
    // answer to its request (then only the URL tells the answer).
    virtual std::uintptr_t NewRequestToken() = 0;
    virtual void RequestUrl(const std::string& absoluteUrl, std::uintptr_t token) = 0;
    // Tells the user what became of the installation (one line).
    virtual void ShowStatus(const std::string& message) = 0;

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

    // Only the one file that answers a Yes is installed: the delivery whose
    // `token` is the one of the request made after Yes, whatever URL the
    // browser gives it (a redirection); or, when that request carried no
    // token, the delivery under exactly the URL asked for. It is expanded
    // into the storage directory under the stem of the asked-for URL's file
    // name and ".ocx", without overwriting anything but an earlier server of
    // the same class, then registered. Any other delivery is NotAwaited.
    Result InstallControlFile(const std::string& url, const std::string& localFile,
                              std::uintptr_t token = 0);
    // The browser ended the request carrying `token` (a failed fetch, or one
    // that delivered nothing): the control is again not installed, and no
    // file is awaited. Other tokens change nothing.
    void EndRequest(std::uintptr_t token);
    // Whether a delivery carrying `token` (non-zero) answers the request made
    // after Yes.
    bool Awaits(std::uintptr_t token) const;

    // Expands the delivered file into the storage directory under
    // `fileName`'s stem and ".ocx"; the placed path, or nothing when the name
    // is refused or the expansion failed (no partial file is left).
    std::optional<std::string> ExpandControlFile(const std::string& fileName,
                                                 const std::string& localFile) const;

private:
    ControlOffer offer_;
    std::string storageDirectory_;
    UrlRequester& browser_;
    // The request made after Yes, until its answer is delivered or it ends:
    // one Yes installs at most one file.
    struct AwaitedFile {
        std::string url;           // the absolute URL asked for
        std::uintptr_t token = 0;  // 0: the browser binds no answer to it
    };
    std::optional<AwaitedFile> awaited_;
    // Expires with this object: the modal loop learns from it whether the
    // installer was torn down meanwhile.
    const fw::LifeToken life_;
};

}  // namespace install
