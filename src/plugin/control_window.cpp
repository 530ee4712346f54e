#include "plugin/control_window.h"

#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"

namespace {

LRESULT OnMove(fw::CWnd& window, WPARAM, LPARAM) { return window.Default(); }

constexpr fw::MessageEntry kControlWindowMessages[] = {{WM_MOVE, OnMove}};
constexpr fw::MessageMap kControlWindowMap = {nullptr, kControlWindowMessages,
                                              std::size(kControlWindowMessages)};

}  // namespace

ControlWindow::ControlWindow(PluginWindow* parent) : parentWindow(parent) {}

// The record goes first, then the requests still pending (unanswered), then
// the framework part.
ControlWindow::~ControlWindow() {
    info.reset();
    pendingRequests.clear();
}

const fw::MessageMap* ControlWindow::GetMessageMap() const { return &kControlWindowMap; }
