#include "plugin/control_window.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "plugin/browser_services.h"
#include "plugin/plugin_instance.h"
#include "plugin/plugin_window.h"
#include "scripting/embed_parameters.h"
#include "url/url_parts.h"

namespace plugin {

namespace {

LRESULT OnMove(fw::CWnd& window, WPARAM, LPARAM) { return window.Default(); }

constexpr fw::MessageEntry kControlWindowMessages[] = {{WM_MOVE, OnMove}};
constexpr fw::MessageMap kControlWindowMap = {nullptr, kControlWindowMessages,
                                              std::size(kControlWindowMessages)};

}  // namespace

ControlWindow::ControlWindow(PluginWindow* parent) : parentWindow_(parent) {}

ControlWindow::~ControlWindow() = default;

const fw::MessageMap* ControlWindow::GetMessageMap() const { return &kControlWindowMap; }

std::uintptr_t ControlWindow::NewRequestToken() { return NextRequestToken(); }

void ControlWindow::RequestUrl(const std::string& absoluteUrl, std::uintptr_t token) {
    if (!parentWindow_) return;
    if (token != 0) {
        // A request the browser refuses gets no notice: it ends at once (the
        // browser did nothing, so this window is still there).
        if (BrowserGetURLNotify(parentWindow_->instance, absoluteUrl.c_str(), nullptr,
                                NotifyDataOf(token)) != NPERR_NO_ERROR) {
            EndRequest(token);
        }
    } else {
        BrowserGetURL(parentWindow_->instance, absoluteUrl.c_str(), nullptr);
    }
}

void ControlWindow::ShowStatus(const std::string& message) {
    if (parentWindow_) BrowserStatus(parentWindow_->instance, message.c_str());
}

// The browser may tear the instance down from inside the dialog's message
// loop (NPP_Destroy, or NPP_SetWindow without a window): then this window
// object is gone when the offer returns, and is not touched again.
void ControlWindow::OfferDownload() {
    if (installer_) installer_->OfferDownload();
}

void ControlWindow::InstallControlFile(std::string url, std::string localFile,
                                       std::uintptr_t token) {
    if (!installer_) return;
    if (installer_->InstallControlFile(url, localFile, token) ==
        install::ControlInstaller::Result::Installed) {
        ActivateControl();
    }
}

// A request event needs its two arguments (URL, number); a shorter one, or
// one whose URL is not a plain string, is left to the default routing. Every
// event of the default source interface then reaches the page's listeners,
// which may end the instance: nothing of this window is touched after them.
BOOL ControlWindow::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) {
    auto* event = static_cast<fw::AFX_EVENT*>(pExtra);
    if (nCode != fw::CN_EVENT || !event || !record_ || event->m_eventKind != fw::AFX_EVENT::event) {
        return fw::CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
    BOOL handled = FALSE;
    if (const std::optional<scripting::FileRequestEvent> request =
            control_.FileRequestOf(event->m_dispid, event->m_pDispParams)) {
        handled = request->url && RequestUrlAsFile(*request->url, request->requestId);
    } else {
        handled = fw::CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
    if (event->m_pDispParams) {
        for (const scripting::EventEntry& entry : control_.Events()) {
            if (entry.dispid != event->m_dispid || entry.names.empty()) continue;
            const std::string name = entry.names.front();  // the table may go with the window
            scripting_.FireEvent(name, *event->m_pDispParams);
            break;
        }
    }
    return handled;
}

NPObject* ControlWindow::ScriptableObject() {
    if (!started_ || !parentWindow_) return nullptr;
    return scripting_.ScriptableObject(BrowserScriptCalls(), parentWindow_->instance);
}

void ControlWindow::CloseScripting() { scripting_.Close(); }

// For a control that may be scripted and initialised from untrusted data
// only; the page's other attributes stay ignored.
void ControlWindow::ApplyEmbedParameters() {
    if (!scripting_.safe() || !safeForInitializing_ || !parentWindow_ ||
        !parentWindow_->instanceData) {
        return;
    }
    const auto& arguments = parentWindow_->instanceData->arguments;
    const auto dispatch = control_.QueryControlInterface<IDispatch>(IID_IDispatch);
    if (!dispatch || arguments.empty()) return;
    std::vector<const char*> names;
    std::vector<const char*> values;
    for (const auto& [name, value] : arguments) {
        names.push_back(name.c_str());
        values.push_back(value.c_str());
    }
    const auto count = static_cast<int16_t>(std::min<std::size_t>(names.size(), INT16_MAX));
    scripting::ApplyEmbedParameters(dispatch.Get(), count, names.data(), values.data());
}

// The request is noted before the browser is asked: a browser may deliver
// the file from inside NPN_GetURL.
bool ControlWindow::RequestUrlAsFile(const std::string& url, int32_t requestId) {
    if (!record_) return false;
    const std::optional<std::string> absolute = urls::MakeAbsoluteUrl(url, record_->baseUrl);
    if (!absolute) return false;
    const std::uintptr_t token = NextRequestToken();
    requests_.Note(*absolute, requestId, token);
    RequestUrl(*absolute, token);
    return true;
}

void ControlWindow::DeliverRequestedFile(std::string url, std::string localFile) {
    if (const std::optional<int32_t> requestId = requests_.Take(url)) {
        control_.OnGetUrlAsFile(localFile, *requestId);
    }
}

void ControlWindow::DeliverAnswer(std::uintptr_t token, std::string url, std::string localFile) {
    if (installer_ && installer_->Awaits(token)) {
        InstallControlFile(std::move(url), std::move(localFile), token);
    } else if (const std::optional<int32_t> requestId = requests_.TakeToken(token)) {
        control_.OnGetUrlAsFile(localFile, *requestId);
    }
}

void ControlWindow::EndRequest(std::uintptr_t token) {
    if (installer_) installer_->EndRequest(token);
    requests_.TakeToken(token);
}

}  // namespace plugin
