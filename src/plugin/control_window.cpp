#include "plugin/control_window.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "install/control_registry_entry.h"
#include "plugin/browser_services.h"
#include "plugin/plugin_app.h"
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

// A window that goes while started (the page ended inside its "Start" or
// "Stop") leaves the process's list all the same.
ControlWindow::~ControlWindow() {
    ThePluginApp().offers.Leave(this);
    ThePluginApp().startedControls.Remove(this);
}

const fw::MessageMap* ControlWindow::GetMessageMap() const { return &kControlWindowMap; }

std::uintptr_t ControlWindow::NewRequestToken() { return NextRequestToken(); }

// A request the browser refuses gets no notice: it ends at once (the browser
// did nothing, so this window is still there).
bool ControlWindow::RequestUrl(const std::string& absoluteUrl, std::uintptr_t token) {
    if (!parentWindow_) return false;
    const NPError answer = token != 0 ? BrowserGetURLNotify(parentWindow_->instance,
                                                           absoluteUrl.c_str(), nullptr,
                                                           NotifyDataOf(token))
                                      : BrowserGetURL(parentWindow_->instance, absoluteUrl.c_str(),
                                                      nullptr);
    return answer == NPERR_NO_ERROR;
}

void ControlWindow::ShowStatus(const std::string& message) {
    if (parentWindow_) BrowserStatus(parentWindow_->instance, message.c_str());
}

namespace {

// Every window still waiting for the installed offer `key`, in turn. Any
// activation may end any window (each leaves the board as it goes), so the
// board is asked anew each time.
void ActivateWaiting(const OfferKey& key) {
    while (ControlWindow* next = ThePluginApp().offers.TakeWaiting(key)) next->ActivateControl();
}

}  // namespace

// The browser may tear the instance down from inside the dialog's message
// loop (NPP_Destroy, or NPP_SetWindow without a window), or deliver the file
// from inside the request: this window object is not touched after either
// once it is gone (the board learns of it from the destructor).
void ControlWindow::OfferDownload() {
    using Result = install::ControlInstaller::Result;
    if (!installer_ || !record_ || offered_) return;
    offered_ = true;
    const std::optional<std::string> address =
        urls::MakeAbsoluteUrl(record_->filenameUrl, record_->baseUrl);
    if (record_->filenameUrl.empty() || !address) return;  // nothing to offer
    OfferKey key{record_->clsid, record_->productVersion, *address};
    if (ThePluginApp().offers.Enter(key, this) != OfferBoard::Entry::First) return;
    offerKey_ = std::move(key);
    const fw::LifeWatch alive = Watch();
    const Result result = installer_->OfferDownload();
    if (!alive || result == Result::Requested) return;
    EndOffer(result == Result::RequestRefused ? "The browser refused to fetch the control file."
                                       : std::string());
}

void ControlWindow::EndOffer(const std::string& status) {
    if (offerKey_) ThePluginApp().offers.Complete(*offerKey_, false);
    if (!status.empty()) ShowStatus(status);
}

void ControlWindow::InstallControlFile(std::string url, std::string localFile,
                                       std::uintptr_t token) {
    using Result = install::ControlInstaller::Result;
    if (!installer_ || !record_) return;
    const fw::LifeWatch alive = Watch();
    const Result result = installer_->InstallControlFile(url, localFile, token);
    if (!alive || result == Result::NotAwaited) return;
    // The file that answered the offer ends it: the control is there as the
    // page asks for it, or this page load does not offer it again.
    install::ControlRegistryEntry lookup;
    if (result != Result::Installed ||
        !lookup.IsInstalled(record_->clsid, record_->productVersion)) {
        EndOffer(result == Result::Installed
                     ? "The control file did not install the control this page needs (class " +
                           record_->clsidText + ", version " + record_->productVersion + ")."
                     : std::string());
        return;
    }
    const std::optional<OfferKey> key = offerKey_;
    if (key) ThePluginApp().offers.Complete(*key, true);
    ActivateControl();  // may end this window
    if (key) ActivateWaiting(*key);
}

// A request event needs its two arguments (URL, number); a shorter one, or
// one whose URL is not a plain string, is left to the default routing. Every
// event of the default source interface then reaches the page's listeners,
// which may end the instance: nothing of this window is touched after them,
// nor after a request whose file was delivered (and the page ended) at once.
BOOL ControlWindow::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) {
    auto* event = static_cast<fw::AFX_EVENT*>(pExtra);
    if (nCode != fw::CN_EVENT || !event || !record_ || event->m_eventKind != fw::AFX_EVENT::event) {
        return fw::CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
    BOOL handled = FALSE;
    const fw::LifeWatch alive = Watch();
    if (const std::optional<scripting::FileRequestEvent> request =
            control_.FileRequestOf(event->m_dispid, event->m_pDispParams)) {
        handled = request->url && RequestUrlAsFile(*request->url, request->requestId);
    } else {
        handled = fw::CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
    if (!alive) return handled;
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
// the file from inside NPN_GetURL, and the delivery may end the page.
bool ControlWindow::RequestUrlAsFile(const std::string& url, int32_t requestId) {
    if (!record_) return false;
    const std::optional<std::string> absolute = urls::MakeAbsoluteUrl(url, record_->baseUrl);
    if (!absolute) return false;
    const std::uintptr_t token = NextRequestToken();
    requests_.Note(*absolute, requestId, token);
    const fw::LifeWatch alive = Watch();
    if (!RequestUrl(*absolute, token) && token != 0 && alive) requests_.TakeToken(token);
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

// The awaited control file did not come: the offer ends failed.
void ControlWindow::EndRequest(std::uintptr_t token) {
    if (installer_ && installer_->Awaits(token)) {
        installer_->EndRequest(token);
        EndOffer("The control file could not be fetched.");
    }
    requests_.TakeToken(token);
}

}  // namespace plugin
