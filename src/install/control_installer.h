// ControlInstaller: the download offer for a control that is not installed,
// and the placement and registration of the file the user said Yes to.
// Activating the installed control is the caller's business.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "framework/life_token.h"
#include "install/control_placement.h"
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
    // False when the browser refused the request at once (it did nothing
    // then, and the caller is still there).
    virtual bool RequestUrl(const std::string& absoluteUrl, std::uintptr_t token) = 0;
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
        Declined,        // No, Escape, the close box, or no dialog (also to the
                         // warning about an unsigned or unverified control file)
        Requested,       // Yes: the browser was asked for the file
        RequestRefused,  // Yes, but the browser refused the request: nothing is awaited
        NotAwaited,      // a file nobody said Yes to
        NotCompressed,   // the property file does not say "IsCompressed"
        Refused,         // the publisher check refused the expanded file: it does
                         // not match its signature, or the policy requires a
                         // trusted publisher it lacks; nothing left behind
        Killed,          // the class is killed: never installed
        NotPlaced,       // refused name, no writable directory, failed expansion,
                         // or no free name: nothing left behind
        NotRegistered,   // its self-registration failed, or left the class
                         // killed, not resolving to the file, or in another
                         // version than the page's: everything put back
        NeedsAdministrator,  // could only be placed per user, and its
                             // registration would not go there: put back
        Installed,       // placed, registered, and the class resolves to it
    };

    // `browser` is not owned and outlives the installer.
    ControlInstaller(ControlOffer offer, StorageDirectories storage, UrlRequester& browser);

    // Shows the warning and, on Yes, asks the browser for the control file.
    // The browser may tear the caller (and this installer) down from inside
    // the dialog's message loop or the request: the installer is not used
    // after either then, and the answer of a torn-down caller is dropped.
    Result OfferDownload();

    // Only the one file that answers a Yes is installed: the delivery whose
    // `token` is the one of the request made after Yes, whatever URL the
    // browser gives it (a redirection); or, when that request carried no
    // token, the delivery under exactly the URL asked for. It is expanded
    // into a temporary file in the storage directory (the per-user one when
    // the configured directory or the machine's class keys cannot be
    // written), placed under the stem of the asked-for URL's file name and
    // ".ocx" (ChooseTarget: only an unchanged file of our own is replaced),
    // registered, and written to the placement record. A failure after the
    // move puts back the file and class registration that were there. Any
    // other delivery is NotAwaited; every answer to the awaited one but
    // Installed shows the user one status line.
    Result InstallControlFile(const std::string& url, const std::string& localFile,
                              std::uintptr_t token = 0);
    // The browser ended the request carrying `token` (a failed fetch, or one
    // that delivered nothing): the control is again not installed, and no
    // file is awaited. Other tokens change nothing.
    void EndRequest(std::uintptr_t token);
    // Whether a delivery carrying `token` (non-zero) answers the request made
    // after Yes.
    bool Awaits(std::uintptr_t token) const;

private:
    // Has the file just moved to `path` register itself in `scope`; nothing
    // when the class now resolves to it, unkilled, in the page's version,
    // else why not (its registration is undone then).
    // Runs the control's own registration, which may end the page and this
    // installer: it works on copies only.
    static std::optional<Result> RegisterPlacedControl(const std::wstring& path,
                                                       RegistrationScope scope, CLSID clsid,
                                                       std::string version);
    // `result`, after telling the user about it unless it is Installed.
    Result Report(Result result, const char* why = nullptr);

    ControlOffer offer_;
    StorageDirectories storage_;
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
