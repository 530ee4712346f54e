// The browser's services: the function table the browser hands over in
// NP_Initialize and the three thin wrappers the plug-in calls through it.
#pragma once

#include <cstdint>
#include <memory>

#include "npapi/npapi.h"
#include "scripting/browser_calls.h"

namespace plugin {

// Stores the browser's table (never copied or freed); null forgets it.
void SetBrowserFuncs(NPNetscapeFuncs* funcs);
NPNetscapeFuncs* BrowserFuncs();

// Each wrapper reports failure (an error code, or null) when no table is
// stored or the table lacks the entry.
NPError BrowserGetURL(NPP instance, const char* url, const char* target);
NPError BrowserGetURLNotify(NPP instance, const char* url, const char* target, void* notifyData);

// URL notification works both ways: the browser's table holds
// `geturlnotify` and says version 9 or later, and the plug-in's table had
// room for `urlnotify` (noted by NP_GetEntryPoints).
void SetPluginTakesUrlNotify(bool takes);
bool BrowserOffersUrlNotify();
// One line in the browser's status bar; nothing when the table lacks it.
void BrowserStatus(NPP instance, const char* message);
void* BrowserMemAlloc(uint32_t size);
void BrowserMemFree(void* pointer);

// A token that binds the browser's answers to one request (the notifyData of
// its stream and of NPP_URLNotify): a number from the process's sequence,
// never a pointer, so a late or stale one is recognised by looking it up in
// the requests still open and is never followed. Never 0; 0 when the browser
// offers no URL notification (then the request is made without one).
std::uintptr_t NextRequestToken();
inline void* NotifyDataOf(std::uintptr_t token) { return reinterpret_cast<void*>(token); }
inline std::uintptr_t TokenOf(void* notifyData) {
    return reinterpret_cast<std::uintptr_t>(notifyData);
}

// The browser's scripting functions, kept from NP_Initialize (when its table
// offers them) until NP_Shutdown, when they are withdrawn (objects that hold
// them then stop reaching the browser); null otherwise.
void SetBrowserScriptCalls(NPNetscapeFuncs* funcs);
std::shared_ptr<scripting::BrowserCalls> BrowserScriptCalls();

}  // namespace plugin
