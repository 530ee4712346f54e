// ControlWindow: the window object that wraps the hosted OLE control of one
// instance once it is created inside the PluginWindow. It owns the control's
// information record and composes what other folders provide: the installer
// of a missing control, the live control and its file-request queue.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "framework/life_token.h"
#include "framework/wnd.h"
#include "install/control_installer.h"
#include "plugin/offer_board.h"
#include "propfile/ocx_info.h"
#include "scripting/control_scripting.h"
#include "scripting/file_requests.h"
#include "scripting/live_control.h"

namespace propfile {
class CStorageFile;
}

namespace plugin {

class PluginWindow;

class ControlWindow : public fw::CWnd, private install::UrlRequester {
public:
    // `parent` is not owned; it owns this window.
    explicit ControlWindow(PluginWindow* parent);
    ~ControlWindow() override;

    // Activation from the delivered property file's `bytes` (read once, at
    // delivery; nullopt: it could not be read). A file that cannot be read
    // still makes the record, but nothing is created or offered.
    void LoadPropertyFile(std::string fileName, std::optional<std::string> bytes, std::string url,
                          int32_t width, int32_t height);
    // Takes the record of a property file; a window that already holds one
    // ignores further records. Activates the control; `propertyFile`, when
    // given, is the record's file as the reader left it (it is used for the
    // saved state instead of opening the bytes again).
    void TakeRecord(std::unique_ptr<propfile::COCXInfo> record,
                    propfile::CStorageFile* propertyFile = nullptr);
    void ActivateControl(propfile::CStorageFile* propertyFile = nullptr);
    // Stops a started control: "Stop", off the started list, others told;
    // the window is no longer started then.
    void StopControl();

    // Installation of a missing control: the offer (at most one per window,
    // shared with the other windows that need the same control, see
    // OfferBoard), and the delivered file, which activates the control, and
    // every window waiting for it, once it is installed in the version the
    // page asks for. Either may end this window, and others.
    void OfferDownload();
    // `token`: the one the delivered stream carries (0: none).
    void InstallControlFile(std::string url, std::string localFile, std::uintptr_t token = 0);

    // The control's file requests.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override;
    bool RequestUrlAsFile(const std::string& url, int32_t requestId);
    void DeliverRequestedFile(std::string url, std::string localFile);

    // Requests made with a token: the stream that answers one, and the
    // browser's notice that one ended. An answer goes to its own request
    // whatever its URL; an ended request that was not answered is dropped (a
    // file request unanswered, the control file no longer awaited). Tokens
    // that no open request of this window carries are ignored.
    void DeliverAnswer(std::uintptr_t token, std::string url, std::string localFile);
    void EndRequest(std::uintptr_t token);

    // Page scripts: a new reference to the running control's scriptable
    // object, or null (not running, may not be scripted, no browser
    // scripting). CloseScripting, at teardown before the control goes, lets
    // go of it; script references kept afterwards answer with exceptions.
    NPObject* ScriptableObject();
    void CloseScripting();

    // Null until a property file has been read.
    const propfile::COCXInfo* Record() const { return record_.get(); }
    scripting::LiveControl& Control() { return control_; }
    const scripting::FileRequestQueue& Requests() const { return requests_; }
    bool IsStarted() const { return started_; }
    PluginWindow* ParentWindow() const { return parentWindow_; }

    const UINT controlId = 0;

    const fw::MessageMap* GetMessageMap() const override;

private:
    void ApplyEmbedParameters();
    std::uintptr_t NewRequestToken() override;
    bool RequestUrl(const std::string& absoluteUrl, std::uintptr_t token) override;
    // The offer this window made ended without the control.
    void EndOffer(const std::string& status);
    void ShowStatus(const std::string& message) override;

    PluginWindow* const parentWindow_;  // not owned
    // Declared in teardown order reversed: the live control and the installer
    // go first, then the requests still pending (unanswered), then the record.
    std::unique_ptr<propfile::COCXInfo> record_;
    scripting::FileRequestQueue requests_;
    std::unique_ptr<install::ControlInstaller> installer_;  // made with the record
    scripting::LiveControl control_;
    scripting::ControlScripting scripting_;  // closed before the control goes
    bool started_ = false;
    // Decided when the control is created: the page's data may reach it.
    bool safeForInitializing_ = false;
    // The property file as delivered: every activation reads its saved state.
    std::string propertyBytes_;
    bool offered_ = false;               // the missing control was offered (or joined)
    std::optional<OfferKey> offerKey_;   // the offer this window made, if any
};

}  // namespace plugin
