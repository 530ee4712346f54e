#include "plugin/browser_services.h"

#include <memory>

namespace {

NPNetscapeFuncs* browserFuncs = nullptr;
std::unique_ptr<scripting::TableBrowserCalls> scriptCalls;

}  // namespace

void SetBrowserFuncs(NPNetscapeFuncs* funcs) { browserFuncs = funcs; }

NPNetscapeFuncs* BrowserFuncs() { return browserFuncs; }

NPError BrowserGetURL(NPP instance, const char* url, const char* target) {
    if (!browserFuncs || !browserFuncs->geturl) return NPERR_GENERIC_ERROR;
    return browserFuncs->geturl(instance, url, target);
}

void* BrowserMemAlloc(uint32_t size) {
    if (!browserFuncs || !browserFuncs->memalloc) return nullptr;
    return browserFuncs->memalloc(size);
}

void BrowserMemFree(void* pointer) {
    if (browserFuncs && browserFuncs->memfree && pointer) browserFuncs->memfree(pointer);
}

void SetBrowserScriptCalls(NPNetscapeFuncs* funcs) {
    scriptCalls.reset();
    if (funcs && scripting::TableBrowserCalls::Offers(*funcs)) {
        scriptCalls = std::make_unique<scripting::TableBrowserCalls>(*funcs);
    }
}

scripting::BrowserCalls* BrowserScriptCalls() { return scriptCalls.get(); }
