// A small NPAPI browser for tests and for the command line: it hands the
// plug-in the browser's function table, keeps instances with real windows,
// answers NPN_GetURL with local files and delivers them in the browser's
// stream order (NPP_NewStream, NPP_WriteReady/NPP_Write, NPP_StreamAsFile,
// NPP_DestroyStream). Every call in either direction is logged.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "npapi/npapi.h"
#include "plugin_module.h"

namespace nphost {

// When NPN_GetURL's file arrives: later, from the browser's loop (what
// browsers do), or at once from inside the call.
enum class Delivery { Later, Immediate };

// How the browser answers a URL: the local file, delivered under a URL (the
// requested one, or another for a redirection).
struct Answer {
    std::string deliveredUrl;
    std::string localFile;
};

class Browser;

class Instance {
public:
    Instance(Browser& browser, HWND pageWindow, int id);
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    ~Instance();

    NPP npp() { return &npp_; }
    // The browser's window for the plug-in area, and its own window procedure.
    HWND window() const { return window_; }
    static WNDPROC BrowserWindowProcedure();
    // Messages the browser's own procedure received (it sees them again once
    // the plug-in gives the window back).
    int browserProcedureMessages() const { return browserMessages_; }

    NPError New(const std::vector<std::pair<std::string, std::string>>& arguments,
                const char* mimeType = "application/x-object-property-file");
    // Hands the plug-in the browser's window (or, with null, takes it away).
    NPError SetWindow(HWND window);
    NPError SetWindow() { return SetWindow(window_); }
    NPError Destroy();
    bool alive() const { return alive_; }

    // Delivers `localFile` under `url` in the browser's stream order; the
    // stream carries `notifyData` (that of an NPN_GetURLNotify request).
    void Deliver(const std::string& url, const std::string& localFile,
                 void* notifyData = nullptr);
    // NPP_URLNotify, when the plug-in's table holds it.
    void Notify(const std::string& url, NPReason reason, void* notifyData);

private:
    friend class Browser;
    static LRESULT CALLBACK PluginAreaProc(HWND, UINT, WPARAM, LPARAM);

    Browser& browser_;
    NPP_t npp_{};
    HWND window_ = nullptr;
    int id_;
    bool alive_ = false;
    int browserMessages_ = 0;
};

class Browser {
public:
    // The module's entry points are not called until Initialize.
    explicit Browser(PluginModule& module);
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;
    // Destroys the instances still alive and shuts the plug-in down.
    ~Browser();

    // NP_GetEntryPoints, then NP_Initialize, with full-size tables that offer
    // URL notification (a test makes a browser without it by lowering the
    // browser table's `version` below 9 or its `size`).
    NPError Initialize();
    NPError Shutdown();
    NPPluginFuncs& pluginFuncs() { return pluginFuncs_; }
    NPNetscapeFuncs& browserFuncs() { return browserFuncs_; }

    // A new instance with a browser window of the given size in the page.
    Instance& NewInstance(int width = 300, int height = 200);
    // The same, placed at (x, y) of the page window's client area.
    Instance& NewInstanceAt(int x, int y, int width, int height);

    // Leaving the page: destroys the instances still alive and removes every
    // instance with its window (the plug-in stays initialised).
    void ClosePage();

    // The top-level window that holds the instances' windows.
    HWND pageWindow() const { return page_; }
    // Sizes the page window so that its client area is width x height.
    void SetPageSize(int width, int height);

    // How NPN_GetURL is answered.
    Delivery delivery = Delivery::Later;
    void Serve(const std::string& url, const std::string& localFile);
    void ServeAs(const std::string& url, const std::string& deliveredUrl,
                 const std::string& localFile);
    // Consulted for URLs without a Serve entry; no answer means the browser
    // cannot fetch the URL (nothing is delivered for it; an NPN_GetURLNotify
    // request is ended with NPP_URLNotify and NPRES_NETWORK_ERR, a delivered
    // one with NPRES_DONE).
    std::function<std::optional<Answer>(const std::string& url)> resolver;
    // URLs the browser refuses at once: NPN_GetURL and NPN_GetURLNotify
    // answer NPERR_GENERIC_ERROR, and nothing is fetched or notified.
    std::function<bool(const std::string& url)> refuses;

    // Delivers the files of NPN_GetURL requests made in Later mode, and
    // dispatches the window messages waiting. Returns how many were delivered.
    int RunPending();
    // Dispatches window messages for about `milliseconds`.
    void PumpMessages(DWORD milliseconds);

    // Every line the plug-in showed in the status bar (NPN_Status), in order.
    const std::vector<std::string>& statusLines() const { return statusLines_; }
    // Every URL the plug-in asked for, in order.
    const std::vector<std::string>& requestedUrls() const { return requestedUrls_; }
    // Every call in either direction: "-> NPP_New ...", "<- NPN_GetURL ...".
    const std::vector<std::string>& log() const { return log_; }
    void ClearLog() { log_.clear(); }
    // Echo each log line to stdout as it happens, with a time stamp.
    bool echoLog = false;

    // Browser memory: blocks handed out and not freed; refuse the next ones.
    int liveAllocations() const { return liveAllocations_; }
    bool refuseMemory = false;

    void Log(std::string line);

    // Called at the start of Instance::Destroy, before NPP_Destroy (the
    // page's scripts let go of the instance's objects).
    std::function<void(Instance&)> beforeDestroy;

    // The browser of this process, if any.
    static Browser* Current();
    // Browser memory handed to the plug-in by the browser itself (strings of
    // variants and identifiers), counted like NPN_MemAlloc but not logged.
    static void* Allocate(std::size_t size);
    static void Free(void* pointer);

private:
    friend class Instance;
    struct PendingFetch {
        Instance* instance;
        std::string url;
        bool notify = false;  // made by NPN_GetURLNotify
        void* notifyData = nullptr;
    };
    static NPError GetURL(NPP npp, const char* url, const char* target);
    static NPError GetURLNotify(NPP npp, const char* url, const char* target, void* notifyData);
    NPError Request(NPP npp, const char* url, PendingFetch fetch);
    static void Status(NPP npp, const char* message);
    static void* MemAlloc(uint32_t size);
    static void MemFree(void* pointer);
    static uint32_t MemFlush(uint32_t size);

    std::optional<Answer> Lookup(const std::string& url) const;
    void Fetch(const PendingFetch& fetch);
    void Forget(Instance& instance);

    PluginModule& module_;
    NPPluginFuncs pluginFuncs_{};
    NPNetscapeFuncs browserFuncs_{};
    bool initialized_ = false;
    HWND page_ = nullptr;
    std::vector<std::unique_ptr<Instance>> instances_;
    std::map<std::string, Answer> served_;
    std::deque<PendingFetch> pending_;
    std::vector<std::string> requestedUrls_;
    std::vector<std::string> statusLines_;
    std::vector<std::string> log_;
    int liveAllocations_ = 0;
    DWORD startTime_ = ::GetTickCount();
};

}  // namespace nphost
