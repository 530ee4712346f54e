// The library's face to the browser: the three exports and the plug-in
// callbacks they hand out. No exception ever leaves one of them.
#include "npapi/npapi.h"

#include <memory>
#include <new>
#include <string>

#include "framework/module_objects.h"
#include "plugin/browser_services.h"
#include "plugin/control_window.h"
#include "plugin/plugin_instance.h"
#include "plugin/plugin_window.h"
#include "propfile/file_bytes.h"

namespace plugin {

namespace {

constexpr uint16_t kPluginApiVersion = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;

PluginInstanceData* RecordOf(NPP instance) {
    return static_cast<PluginInstanceData*>(instance->pdata);
}

NPError NPP_New(NPMIMEType, NPP instance, uint16_t, int16_t argc, char* argn[], char* argv[],
                NPSavedData*) try {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    void* memory = BrowserMemAlloc(sizeof(PluginInstanceData));
    instance->pdata = memory;
    if (!memory) return NPERR_OUT_OF_MEMORY_ERROR;
    auto* record =
        new (memory) PluginInstanceData{kDefaultEmbedSize, kDefaultEmbedSize, nullptr, {}, {}};
    ApplyEmbedArguments(*record, argc, argn, argv);
    return NPERR_NO_ERROR;
} catch (...) {
    return NPERR_GENERIC_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) try {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (PluginInstanceData* record = RecordOf(instance)) {
        DetachPluginWindow(*record);
        record->~PluginInstanceData();
        BrowserMemFree(record);
        instance->pdata = nullptr;
    }
    return NPERR_NO_ERROR;
} catch (...) {
    return NPERR_GENERIC_ERROR;
}

NPError AttachPluginWindow(PluginInstanceData& record, NPP instance, HWND handle) {
    record.window = std::make_unique<PluginWindow>();
    if (!record.window->SubclassWindow(handle)) {
        ::MessageBoxA(nullptr, "SubclassWindow Failed", "Plug-in-test", MB_OK);
        return NPERR_GENERIC_ERROR;
    }
    record.window->CreateControlObjects();
    record.window->SetInstance(&record, instance);
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* npWindow) try {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (!npWindow) return NPERR_GENERIC_ERROR;
    PluginInstanceData* record = RecordOf(instance);
    if (!record) return NPERR_GENERIC_ERROR;

    HWND handle = static_cast<HWND>(npWindow->window);
    if (!handle) {
        DetachPluginWindow(*record);
        return NPERR_NO_ERROR;
    }
    if (!record->window) {
        const NPError attached = AttachPluginWindow(*record, instance, handle);
        if (attached != NPERR_NO_ERROR) return attached;
    }
    // The size comes from the page's embed, never from the browser's NPWindow.
    PluginWindow* window = record->window.get();
    if (window->m_hWnd) {
        // The resize reaches the browser's window procedure and the control,
        // either of which may end the instance.
        const fw::LifeWatch alive = window->Watch();
        window->SetWindowPos(nullptr, 0, 0, record->width, record->height,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (alive) window->UpdateWindow();
    }
    // Last: the activation may end the instance, which is not touched after.
    if (record->earlyPropertyFile) {
        PluginInstanceData::EarlyPropertyFile early = std::move(*record->earlyPropertyFile);
        record->earlyPropertyFile.reset();
        window->OnPropertyFile(std::move(early.fileName), std::move(early.url),
                               std::move(early.bytes));
    }
    return NPERR_NO_ERROR;
} catch (...) {
    return NPERR_GENERIC_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, uint16_t* stype) {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (stype) *stype = NP_ASFILE;
    return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream*, NPReason) {
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

int32_t NPP_WriteReady(NPP, NPStream*) { return 0x0FFFFFFF; }

// The data is discarded: the file arrives whole through NPP_StreamAsFile.
int32_t NPP_Write(NPP, NPStream*, int32_t, int32_t len, void*) { return len; }

// A property file is read into memory here, at once: the browser may delete
// its copy as soon as this returns. One that comes before the instance's
// window is kept for the window.
void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname) try {
    if (!instance || !stream || !stream->url) return;
    PluginInstanceData* record = RecordOf(instance);
    if (!record) return;
    std::string fileName = fname ? fname : "";
    std::string url = stream->url;
    if (!record->window) {
        if (!stream->notifyData && !record->earlyPropertyFile &&
            ClassifyDeliveredFile(url) == DeliveredFileKind::PropertyFile) {
            std::optional<std::string> bytes = propfile::ReadFileBytes(fileName);
            record->earlyPropertyFile = PluginInstanceData::EarlyPropertyFile{
                std::move(fileName), std::move(url), std::move(bytes)};
        }
        return;
    }
    PluginWindow* window = record->window.get();
    // The answer to a request made with a token goes to that request, or
    // nowhere when it is no longer open; never by its URL's extension.
    if (stream->notifyData) {
        window->OnAnswer(TokenOf(stream->notifyData), std::move(url), std::move(fileName));
        return;
    }
    switch (ClassifyDeliveredFile(url)) {
    case DeliveredFileKind::PropertyFile:
        window->OnPropertyFile(fileName, url, propfile::ReadFileBytes(fileName));
        break;
    case DeliveredFileKind::ControlFile: window->OnControlFile(url, fileName); break;
    case DeliveredFileKind::RequestedFile: window->OnRequestedFile(url, fileName); break;
    }
} catch (...) {
}

// A request made with a token ended (after its stream, if one came). A
// notice for an instance or a window that has gone, or for a token no open
// request carries, changes nothing.
void NPP_URLNotify(NPP instance, const char*, NPReason, void* notifyData) try {
    if (!instance || !notifyData) return;
    PluginInstanceData* record = RecordOf(instance);
    if (!record || !record->window) return;
    record->window->OnRequestEnded(TokenOf(notifyData));
} catch (...) {
}

// The only value offered is the scriptable object of a running control that
// may be scripted (a new reference for the browser); every other request,
// and that one for any other instance, answers an error.
NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) try {
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    if (variable != NPPVpluginScriptableNPObject || !value) return NPERR_INVALID_PARAM;
    auto* result = static_cast<NPObject**>(value);
    *result = nullptr;
    PluginInstanceData* record = RecordOf(instance);
    ControlWindow* control =
        record && record->window ? record->window->GetControlWindow() : nullptr;
    if (control) *result = control->ScriptableObject();
    return *result ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
} catch (...) {
    return NPERR_GENERIC_ERROR;
}

void NPP_Print(NPP instance, NPPrint* platformPrint) {
    if (instance && platformPrint && platformPrint->mode == NP_FULL) {
        platformPrint->print.fullPrint.pluginPrinted = false;
    }
}

}  // namespace

extern "C" NPError WINAPI NP_GetEntryPoints(NPPluginFuncs* pluginFuncs) {
    if (!pluginFuncs || pluginFuncs->size < kPluginFuncsMinSize) return NPERR_INVALID_FUNCTABLE_ERROR;
    pluginFuncs->version = kPluginApiVersion;
    pluginFuncs->newp = NPP_New;
    pluginFuncs->destroy = NPP_Destroy;
    pluginFuncs->setwindow = NPP_SetWindow;
    pluginFuncs->newstream = NPP_NewStream;
    pluginFuncs->destroystream = NPP_DestroyStream;
    pluginFuncs->asfile = NPP_StreamAsFile;
    pluginFuncs->writeready = NPP_WriteReady;
    pluginFuncs->write = NPP_Write;
    pluginFuncs->print = NPP_Print;
    pluginFuncs->event = nullptr;
    // URL notification only where the browser's table has room for it.
    const bool takesUrlNotify = pluginFuncs->size >= kPluginFuncsNotifySize;
    if (takesUrlNotify) pluginFuncs->urlnotify = NPP_URLNotify;
    SetPluginTakesUrlNotify(takesUrlNotify);
    if (pluginFuncs->size >= kPluginFuncsGetValueSize) {
        pluginFuncs->getvalue = reinterpret_cast<void*>(&NPP_GetValue);
    }
    return NPERR_NO_ERROR;
}

extern "C" NPError WINAPI NP_Initialize(NPNetscapeFuncs* browserFuncs) {
    if (!browserFuncs) return NPERR_INVALID_FUNCTABLE_ERROR;
    SetBrowserFuncs(browserFuncs);
    if ((browserFuncs->version >> 8) != NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (browserFuncs->size < kNetscapeFuncsMinSize) return NPERR_INVALID_FUNCTABLE_ERROR;
    SetBrowserScriptCalls(browserFuncs);
    // Control containment needs nothing process-wide beyond the application
    // object: each PluginWindow brings its own container.
    return NPERR_NO_ERROR;
}

// Scripts or controls may still hold objects of the plug-in: then the
// library stays loaded for them.
extern "C" NPError WINAPI NP_Shutdown() {
    fw::PinModuleWhileObjectsLive();
    SetBrowserScriptCalls(nullptr);
    SetBrowserFuncs(nullptr);
    return NPERR_NO_ERROR;
}

}  // namespace plugin
