#include "plugin/plugin_window.h"

#include <utility>

#include "plugin/control_window.h"
#include "plugin/plugin_control_container.h"
#include "plugin/plugin_instance.h"

namespace plugin {

namespace {

LRESULT OnCreate(fw::CWnd& window, WPARAM, LPARAM) {
    return window.Default() == -1 ? -1 : 0;
}

// The control's own window paints the control: validate and draw nothing.
LRESULT OnPaint(fw::CWnd& window, WPARAM, LPARAM) {
    PAINTSTRUCT paint;
    if (::BeginPaint(window.m_hWnd, &paint)) ::EndPaint(window.m_hWnd, &paint);
    return 0;
}

LRESULT OnEraseBackground(fw::CWnd&, WPARAM, LPARAM) { return 1; }

LRESULT OnDefault(fw::CWnd& window, WPARAM, LPARAM) { return window.Default(); }

constexpr fw::MessageEntry kPluginWindowMessages[] = {
    {WM_CREATE, OnCreate},
    {WM_PAINT, OnPaint},
    {WM_ERASEBKGND, OnEraseBackground},
    {WM_MOVE, OnDefault},
    {WM_WINDOWPOSCHANGED, OnDefault},
};
constexpr fw::MessageMap kPluginWindowMap = {nullptr, kPluginWindowMessages,
                                             std::size(kPluginWindowMessages)};

}  // namespace

PluginWindow::PluginWindow() = default;

PluginWindow::~PluginWindow() = default;

const fw::MessageMap* PluginWindow::GetMessageMap() const { return &kPluginWindowMap; }

void PluginWindow::CreateControlObjects() {
    m_pCtrlCont = new PluginControlContainer(this);
    controlWindow_ = std::make_unique<ControlWindow>(this);
}

void PluginWindow::SetInstance(PluginInstanceData* record, NPP npp) {
    instanceData = record;
    instance = npp;
}

void PluginWindow::DestroyControlObjects() {
    if (controlWindow_) {
        controlWindow_->CloseScripting();
        controlWindow_->StopControl();
        controlWindow_->DestroyWindow();
        controlWindow_.reset();
    }
    // Controls may still hold the container: it lives on, disconnected.
    if (m_pCtrlCont) std::exchange(m_pCtrlCont, nullptr)->Disconnect();
}

void PluginWindow::OnPropertyFile(std::string fileName, std::string url,
                                  std::optional<std::string> bytes) {
    if (!controlWindow_ || !instanceData) return;
    controlWindow_->LoadPropertyFile(std::move(fileName), std::move(bytes), std::move(url),
                                    instanceData->width, instanceData->height);
}

void PluginWindow::OnControlFile(std::string url, std::string fileName) {
    if (controlWindow_) controlWindow_->InstallControlFile(std::move(url), std::move(fileName));
}

void PluginWindow::OnRequestedFile(std::string url, std::string fileName) {
    if (controlWindow_) controlWindow_->DeliverRequestedFile(std::move(url), std::move(fileName));
}

void PluginWindow::OnAnswer(std::uintptr_t token, std::string url, std::string fileName) {
    if (controlWindow_) controlWindow_->DeliverAnswer(token, std::move(url), std::move(fileName));
}

void PluginWindow::OnRequestEnded(std::uintptr_t token) {
    if (controlWindow_) controlWindow_->EndRequest(token);
}

}  // namespace plugin
