// PluginWindow takes over the window the browser gives an instance: it
// subclasses the browser's handle, owns the instance's control container and
// its ControlWindow, and receives every file the browser delivers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "framework/wnd.h"
#include "npapi/npapi.h"

namespace plugin {

class ControlWindow;
struct PluginInstanceData;

class PluginWindow : public fw::CWnd {
public:
    PluginWindow();
    // The owned objects are gone by now (DestroyControlObjects).
    ~PluginWindow() override;

    NPP instance = nullptr;
    PluginInstanceData* instanceData = nullptr;  // not owned: it owns us
    // Null before CreateControlObjects and after DestroyControlObjects.
    ControlWindow* GetControlWindow() const { return controlWindow_.get(); }

    // Creates the container, then the (empty) ControlWindow.
    void CreateControlObjects();
    void SetInstance(PluginInstanceData* record, NPP npp);
    // Stops and destroys the control, then the container.
    void DestroyControlObjects();

    // Delivered files, forwarded to the ControlWindow; ignored when there is
    // none (the instance's subclassing failed). A property file comes with
    // its bytes as read at delivery (nullopt: unreadable).
    void OnPropertyFile(std::string fileName, std::string url, std::optional<std::string> bytes);
    void OnControlFile(std::string url, std::string fileName);
    void OnRequestedFile(std::string url, std::string fileName);
    // A stream that carries the token of a request, whatever its URL, and the
    // browser's notice that the request with `token` ended.
    void OnAnswer(std::uintptr_t token, std::string url, std::string fileName);
    void OnRequestEnded(std::uintptr_t token);

    const fw::MessageMap* GetMessageMap() const override;

private:
    std::unique_ptr<ControlWindow> controlWindow_;
};

}  // namespace plugin
