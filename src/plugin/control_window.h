// ControlWindow: the window object that wraps the hosted OLE control of one
// instance once it is created inside the PluginWindow. It owns the control's
// information record and its outstanding file requests, and carries
// activation, installation, invocation and event handling.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>

#include "framework/wnd.h"

class COCXInfo;
class CStorageFile;
class PluginWindow;

// One outstanding URL request of the control.
struct PendingRequest {
    std::string url;    // the absolute URL exactly as passed to the browser
    int32_t requestId;  // the control's own number, returned unchanged
};

class ControlWindow : public fw::CWnd {
public:
    explicit ControlWindow(PluginWindow* parent);
    ~ControlWindow() override;

    std::unique_ptr<COCXInfo> info;  // null until a property file has been read
    int32_t started = 0;
    std::list<PendingRequest> pendingRequests;  // newest first
    const UINT controlId = 0;
    PluginWindow* const parentWindow;  // not owned

    // Activation.
    void LoadPropertyFile(std::string fileName, std::string url, int32_t width, int32_t height);
    // `propertyFile`, when given, is the record's file as the reader left it.
    void ActivateControl(CStorageFile* propertyFile = nullptr);

    // Installation of a missing control.
    void OfferDownload();
    void InstallControlFile(std::string url, std::string localFile);

    // --- Installation state (download offer, placement, liveness) ---------
    // Expands the delivered file into the storage directory under
    // `fileName`'s stem and ".ocx"; the placed path, or nothing when the name
    // is refused or the expansion failed (no partial file is left).
    std::optional<std::string> ExpandControlFile(const std::string& fileName,
                                                 const std::string& localFile);
    // Set when the user said Yes and the file was asked for; the first
    // control file delivered afterwards clears it.
    bool downloadRequested = false;
    // Expires with this object: code that runs a modal loop holds a weak_ptr
    // to learn whether the window was torn down meanwhile.
    const std::shared_ptr<void> lifeToken = std::make_shared<char>(0);
    // --- end of installation state ----------------------------------------

    // Calls into the control by name; false when it has no such member.
    bool InvokeStart();
    bool InvokeStop();
    bool InvokeOnGetUrlAsFile(const std::string& localFile, int32_t requestId);
    bool InvokeOnNewControlStateChanged(const std::string& classIdText, int16_t state);
    // Stops a started control: "Stop", off the started list, others told.
    void StopControl();

    // The control's file requests.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override;
    bool RequestUrlAsFile(const std::string& url, int32_t requestId);
    void DeliverRequestedFile(std::string url, std::string localFile);

    const fw::MessageMap* GetMessageMap() const override;

private:
    bool InvokeByName(const std::string& name, const VARTYPE* types, const VARIANT* values,
                      unsigned count);
};
