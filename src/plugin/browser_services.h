// The browser's services: the function table the browser hands over in
// NP_Initialize and the three thin wrappers the plug-in calls through it.
#pragma once

#include "npapi/npapi.h"
#include "scripting/browser_calls.h"

// Stores the browser's table (never copied or freed); null forgets it.
void SetBrowserFuncs(NPNetscapeFuncs* funcs);
NPNetscapeFuncs* BrowserFuncs();

// Each wrapper reports failure (an error code, or null) when no table is
// stored or the table lacks the entry.
NPError BrowserGetURL(NPP instance, const char* url, const char* target);
void* BrowserMemAlloc(uint32_t size);
void BrowserMemFree(void* pointer);

// The browser's scripting functions, kept from NP_Initialize (when its table
// offers them) until NP_Shutdown; null otherwise.
void SetBrowserScriptCalls(NPNetscapeFuncs* funcs);
scripting::BrowserCalls* BrowserScriptCalls();
