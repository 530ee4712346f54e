// The control's requests for files, and their delivery back to it.
#include <optional>
#include <string>

#include "plugin/browser_services.h"
#include "plugin/control_window.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"
#include "scripting/url_parts.h"

namespace {

// The request event's URL fits this buffer, its zero byte included.
constexpr int kUrlBufferSize = 256;

// The URL of a request event in the ANSI code page; nothing when it does not
// fit the buffer. A null string is the empty URL (the property file's own
// directory).
std::optional<std::string> NarrowRequestUrl(BSTR url) {
    if (!url || !*url) return std::string();
    char buffer[kUrlBufferSize];
    const int written =
        ::WideCharToMultiByte(CP_ACP, 0, url, -1, buffer, kUrlBufferSize, nullptr, nullptr);
    if (written <= 0) return std::nullopt;  // too long (or not convertible): refused
    return std::string(buffer);
}

}  // namespace

// A request event needs its two arguments (URL, number); a shorter one, or
// one whose URL is not a plain string, is left to the default routing.
BOOL ControlWindow::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) {
    auto* event = static_cast<fw::AFX_EVENT*>(pExtra);
    if (nCode == fw::CN_EVENT && event && info && info->eventDispid != kNoEventDispid &&
        event->m_eventKind == fw::AFX_EVENT::event && event->m_dispid == info->eventDispid &&
        event->m_pDispParams && event->m_pDispParams->cArgs >= 2) {
        info->CopyEventArgs(event->m_pDispParams);
        // Automation order: the first argument is in the second slot.
        if (info->eventArgCount >= 2 && info->eventArgs[1].vt == VT_BSTR) {
            const int32_t requestId = info->eventArgs[0].lVal;
            const std::optional<std::string> url = NarrowRequestUrl(info->eventArgs[1].bstrVal);
            return url && RequestUrlAsFile(*url, requestId);
        }
    }
    return fw::CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

// The request is noted before the browser is asked: a browser may deliver
// the file from inside NPN_GetURL.
bool ControlWindow::RequestUrlAsFile(const std::string& url, int32_t requestId) {
    if (!info) return false;
    const std::optional<std::string> absolute = MakeAbsoluteUrl(url, info->baseUrl);
    if (!absolute) return false;
    pendingRequests.push_front({*absolute, requestId});
    BrowserGetURL(parentWindow->instance, absolute->c_str(), nullptr);
    return true;
}

// The newest request for exactly this URL is answered; older ones wait for
// their own delivery.
void ControlWindow::DeliverRequestedFile(std::string url, std::string localFile) {
    for (auto request = pendingRequests.begin(); request != pendingRequests.end(); ++request) {
        if (request->url != url) continue;
        const int32_t requestId = request->requestId;
        pendingRequests.erase(request);
        InvokeOnGetUrlAsFile(localFile, requestId);
        return;
    }
}
