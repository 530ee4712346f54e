#include "plugin/browser_services.h"

#include <cstddef>
#include <memory>
#include <new>

namespace plugin {

namespace {

NPNetscapeFuncs* browserFuncs = nullptr;
bool pluginTakesUrlNotify = false;
std::uintptr_t lastRequestToken = 0;
std::shared_ptr<scripting::TableBrowserCalls> scriptCalls;

}  // namespace

void SetBrowserFuncs(NPNetscapeFuncs* funcs) { browserFuncs = funcs; }

NPNetscapeFuncs* BrowserFuncs() { return browserFuncs; }

NPError BrowserGetURL(NPP instance, const char* url, const char* target) {
    if (!browserFuncs || !browserFuncs->geturl) return NPERR_GENERIC_ERROR;
    return browserFuncs->geturl(instance, url, target);
}

NPError BrowserGetURLNotify(NPP instance, const char* url, const char* target, void* notifyData) {
    if (!BrowserOffersUrlNotify()) return NPERR_GENERIC_ERROR;
    return browserFuncs->geturlnotify(instance, url, target, notifyData);
}

void SetPluginTakesUrlNotify(bool takes) { pluginTakesUrlNotify = takes; }

bool BrowserOffersUrlNotify() {
    return pluginTakesUrlNotify && browserFuncs && browserFuncs->size >= kNetscapeFuncsNotifySize &&
           (browserFuncs->version & 0xFF) >= NPVERS_HAS_NOTIFICATION && browserFuncs->geturlnotify;
}

void BrowserStatus(NPP instance, const char* message) {
    if (browserFuncs && browserFuncs->size >= offsetof(NPNetscapeFuncs, status) + sizeof(void*) &&
        browserFuncs->status && instance && message) {
        browserFuncs->status(instance, message);
    }
}

void* BrowserMemAlloc(uint32_t size) {
    if (!browserFuncs || !browserFuncs->memalloc) return nullptr;
    return browserFuncs->memalloc(size);
}

void BrowserMemFree(void* pointer) {
    if (browserFuncs && browserFuncs->memfree && pointer) browserFuncs->memfree(pointer);
}

std::uintptr_t NextRequestToken() {
    if (!BrowserOffersUrlNotify()) return 0;
    if (++lastRequestToken == 0) ++lastRequestToken;
    return lastRequestToken;
}

// Objects made for scripts may outlive the table (a script keeps one past
// NP_Shutdown): they share the calls, which stop reaching the table here.
// Without memory for them, scripting stays off.
void SetBrowserScriptCalls(NPNetscapeFuncs* funcs) {
    if (scriptCalls) scriptCalls->Withdraw();
    scriptCalls.reset();
    if (funcs && scripting::TableBrowserCalls::Offers(*funcs)) {
        try {
            scriptCalls = std::make_shared<scripting::TableBrowserCalls>(*funcs);
        } catch (const std::bad_alloc&) {
        }
    }
}

std::shared_ptr<scripting::BrowserCalls> BrowserScriptCalls() { return scriptCalls; }

}  // namespace plugin
