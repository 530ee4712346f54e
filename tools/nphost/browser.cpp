#include "browser.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "npruntime_host.h"

namespace nphost {
namespace {

constexpr wchar_t kPageClass[] = L"NPHostPage";
constexpr wchar_t kPluginAreaClass[] = L"NPHostPluginArea";

Browser* currentBrowser = nullptr;

void RegisterClasses() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSW page = {};
    page.lpfnWndProc = ::DefWindowProcW;
    page.hInstance = ::GetModuleHandleW(nullptr);
    page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    page.lpszClassName = kPageClass;
    ::RegisterClassW(&page);
    WNDCLASSW area = page;
    area.lpfnWndProc = Instance::BrowserWindowProcedure();
    area.lpszClassName = kPluginAreaClass;
    ::RegisterClassW(&area);
    registered = true;
}

std::string MimeTypeOf(const std::string& url) {
    const std::size_t dot = url.rfind('.');
    if (dot != std::string::npos && _stricmp(url.c_str() + dot, ".opf") == 0) {
        return "application/x-object-property-file";
    }
    return "application/octet-stream";
}

std::string Quote(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }

}  // namespace

// --- Instance ---------------------------------------------------------------

Instance::Instance(Browser& browser, HWND pageWindow, int id) : browser_(browser), id_(id) {
    npp_.ndata = this;
    window_ = ::CreateWindowExW(0, kPluginAreaClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                0, 0, 300, 200, pageWindow, nullptr, ::GetModuleHandleW(nullptr),
                                this);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Instance::~Instance() {
    if (alive_) Destroy();
    if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
}

WNDPROC Instance::BrowserWindowProcedure() { return &Instance::PluginAreaProc; }

LRESULT CALLBACK Instance::PluginAreaProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto* self = reinterpret_cast<Instance*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA))) {
        ++self->browserMessages_;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

NPError Instance::New(const std::vector<std::pair<std::string, std::string>>& arguments,
                      const char* mimeType) {
    std::vector<char*> names;
    std::vector<char*> values;
    std::string description;
    for (const auto& [name, value] : arguments) {
        names.push_back(const_cast<char*>(name.c_str()));
        values.push_back(const_cast<char*>(value.c_str()));
        description += " " + name + "=" + Quote(value.c_str());
    }
    browser_.Log("-> NPP_New #" + std::to_string(id_) + description);
    const NPError result = browser_.pluginFuncs_.newp(
        const_cast<char*>(mimeType), &npp_, NP_EMBED, static_cast<int16_t>(names.size()),
        names.data(), values.data(), nullptr);
    alive_ = result == NPERR_NO_ERROR;
    return result;
}

NPError Instance::SetWindow(HWND window) {
    NPWindow npWindow = {};
    npWindow.window = window;
    RECT area = {};
    if (window) ::GetClientRect(window, &area);
    npWindow.width = area.right;
    npWindow.height = area.bottom;
    npWindow.type = NPWindowTypeWindow;
    browser_.Log("-> NPP_SetWindow #" + std::to_string(id_) + (window ? "" : " (no window)"));
    return browser_.pluginFuncs_.setwindow(&npp_, &npWindow);
}

NPError Instance::Destroy() {
    if (browser_.beforeDestroy) browser_.beforeDestroy(*this);
    browser_.Log("-> NPP_Destroy #" + std::to_string(id_));
    alive_ = false;
    browser_.Forget(*this);
    NPSavedData* saved = nullptr;
    return browser_.pluginFuncs_.destroy(&npp_, &saved);
}

void Instance::Deliver(const std::string& url, const std::string& localFile, void* notifyData) {
    NPStream stream = {};
    stream.ndata = this;
    stream.url = url.c_str();
    stream.notifyData = notifyData;
    std::ifstream file(localFile, std::ios::binary);
    std::vector<char> content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    stream.end = static_cast<uint32_t>(content.size());

    const std::string mime = MimeTypeOf(url);
    uint16_t type = NP_NORMAL;
    browser_.Log("-> NPP_NewStream #" + std::to_string(id_) + " " + url);
    if (browser_.pluginFuncs_.newstream(&npp_, const_cast<char*>(mime.c_str()), &stream, false,
                                        &type) != NPERR_NO_ERROR) {
        return;
    }
    std::size_t offset = 0;
    while (offset < content.size()) {
        browser_.Log("-> NPP_WriteReady #" + std::to_string(id_));
        const int32_t ready = browser_.pluginFuncs_.writeready(&npp_, &stream);
        if (ready <= 0) break;
        const int32_t chunk =
            static_cast<int32_t>(std::min<std::size_t>(content.size() - offset, ready));
        browser_.Log("-> NPP_Write #" + std::to_string(id_) + " offset " + std::to_string(offset) +
                     " length " + std::to_string(chunk));
        const int32_t taken = browser_.pluginFuncs_.write(&npp_, &stream, static_cast<int32_t>(offset),
                                                          chunk, content.data() + offset);
        if (taken <= 0) break;
        offset += taken;
    }
    if (type == NP_ASFILE || type == NP_ASFILEONLY) {
        browser_.Log("-> NPP_StreamAsFile #" + std::to_string(id_) + " " + url);
        browser_.pluginFuncs_.asfile(&npp_, &stream, localFile.c_str());
    }
    browser_.Log("-> NPP_DestroyStream #" + std::to_string(id_) + " " + url);
    browser_.pluginFuncs_.destroystream(&npp_, &stream, NPRES_DONE);
}

void Instance::Notify(const std::string& url, NPReason reason, void* notifyData) {
    if (!browser_.pluginFuncs_.urlnotify) return;
    browser_.Log("-> NPP_URLNotify #" + std::to_string(id_) + " " + url + " reason " +
                 std::to_string(reason));
    browser_.pluginFuncs_.urlnotify(&npp_, url.c_str(), reason, notifyData);
}

// --- Browser ----------------------------------------------------------------

Browser::Browser(PluginModule& module) : module_(module) {
    currentBrowser = this;
    RegisterClasses();
    page_ = ::CreateWindowExW(0, kPageClass, L"nphost", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              0, 0, 800, 600, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::ShowWindow(page_, SW_SHOWNOACTIVATE);
    browserFuncs_.geturl = &Browser::GetURL;
    browserFuncs_.status = &Browser::Status;
    browserFuncs_.memalloc = &Browser::MemAlloc;
    browserFuncs_.memfree = &Browser::MemFree;
    browserFuncs_.memflush = &Browser::MemFlush;
    browserFuncs_.geturlnotify = &Browser::GetURLNotify;
    InstallRuntimeFunctions(browserFuncs_);
    pluginFuncs_.size = sizeof pluginFuncs_;
}

void Browser::ClosePage() {
    for (const auto& instance : instances_) {
        if (instance->alive()) instance->Destroy();
    }
    instances_.clear();
}

Browser::~Browser() {
    instances_.clear();
    if (initialized_) Shutdown();
    if (page_) ::DestroyWindow(page_);
    if (currentBrowser == this) currentBrowser = nullptr;
}

Browser* Browser::Current() { return currentBrowser; }

void Browser::Log(std::string line) {
    if (echoLog) {
        std::printf("%7.3f %s\n", (::GetTickCount() - startTime_) / 1000.0, line.c_str());
        std::fflush(stdout);
    }
    log_.push_back(std::move(line));
}

NPError Browser::Initialize() {
    Log("-> NP_GetEntryPoints");
    NPError result = module_.exports().getEntryPoints(&pluginFuncs_);
    if (result != NPERR_NO_ERROR) return result;
    Log("-> NP_Initialize");
    result = module_.exports().initialize(&browserFuncs_);
    initialized_ = result == NPERR_NO_ERROR;
    return result;
}

NPError Browser::Shutdown() {
    Log("-> NP_Shutdown");
    initialized_ = false;
    return module_.exports().shutdown();
}

Instance& Browser::NewInstance(int width, int height) { return NewInstanceAt(0, 0, width, height); }

Instance& Browser::NewInstanceAt(int x, int y, int width, int height) {
    auto instance = std::make_unique<Instance>(*this, page_, static_cast<int>(instances_.size()) + 1);
    ::SetWindowPos(instance->window(), nullptr, x, y, width, height, SWP_NOZORDER);
    instances_.push_back(std::move(instance));
    return *instances_.back();
}

void Browser::SetPageSize(int width, int height) {
    RECT frame = {0, 0, width, height};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(page_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(page_, GWL_EXSTYLE)));
    ::SetWindowPos(page_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Browser::Serve(const std::string& url, const std::string& localFile) {
    served_[url] = {url, localFile};
}

void Browser::ServeAs(const std::string& url, const std::string& deliveredUrl,
                      const std::string& localFile) {
    served_[url] = {deliveredUrl, localFile};
}

std::optional<Answer> Browser::Lookup(const std::string& url) const {
    if (auto found = served_.find(url); found != served_.end()) return found->second;
    if (resolver) return resolver(url);
    return std::nullopt;
}

NPError Browser::GetURL(NPP npp, const char* url, const char* target) {
    Browser* browser = Current();
    if (!browser || !npp || !npp->ndata || !url) return NPERR_INVALID_PARAM;
    browser->Log("<- NPN_GetURL " + std::string(url) + " target " + Quote(target));
    return browser->Request(npp, url, {});
}

NPError Browser::GetURLNotify(NPP npp, const char* url, const char* target, void* notifyData) {
    Browser* browser = Current();
    if (!browser || !npp || !npp->ndata || !url) return NPERR_INVALID_PARAM;
    browser->Log("<- NPN_GetURLNotify " + std::string(url) + " target " + Quote(target) +
                 " notify " + std::to_string(reinterpret_cast<std::uintptr_t>(notifyData)));
    return browser->Request(npp, url, {nullptr, {}, true, notifyData});
}

void Browser::Status(NPP npp, const char* message) {
    Browser* browser = Current();
    if (!browser || !npp || !npp->ndata || !message) return;
    browser->Log("<- NPN_Status " + std::string(message));
    browser->statusLines_.emplace_back(message);
}

NPError Browser::Request(NPP npp, const char* url, PendingFetch fetch) {
    requestedUrls_.push_back(url);
    if (refuses && refuses(url)) {
        Log("   (refused " + std::string(url) + ")");
        return NPERR_GENERIC_ERROR;
    }
    fetch.instance = static_cast<Instance*>(npp->ndata);
    fetch.url = url;
    if (delivery == Delivery::Immediate) {
        Fetch(fetch);
    } else {
        pending_.push_back(std::move(fetch));
    }
    return NPERR_NO_ERROR;
}

// The instance may be destroyed by its delivery: the notice still goes to
// its NPP, as a browser's late notice would.
void Browser::Fetch(const PendingFetch& fetch) {
    Instance& instance = *fetch.instance;
    const std::optional<Answer> answer = Lookup(fetch.url);
    if (!answer) {
        Log("   (cannot fetch " + fetch.url + ")");
        if (fetch.notify) instance.Notify(fetch.url, NPRES_NETWORK_ERR, fetch.notifyData);
        return;
    }
    instance.Deliver(answer->deliveredUrl, answer->localFile, fetch.notifyData);
    if (fetch.notify) instance.Notify(fetch.url, NPRES_DONE, fetch.notifyData);
}

void Browser::Forget(Instance& instance) {
    std::erase_if(pending_, [&](const PendingFetch& fetch) { return fetch.instance == &instance; });
}

int Browser::RunPending() {
    int delivered = 0;
    while (!pending_.empty()) {
        PendingFetch fetch = pending_.front();
        pending_.pop_front();
        if (fetch.instance->alive()) {
            Fetch(fetch);
            ++delivered;
        }
    }
    PumpMessages(0);
    return delivered;
}

void Browser::PumpMessages(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    do {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (milliseconds) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (::GetTickCount() - start < milliseconds);
}

void* Browser::MemAlloc(uint32_t size) {
    Browser* browser = Current();
    if (!browser) return nullptr;
    if (browser->refuseMemory) {
        browser->Log("<- NPN_MemAlloc " + std::to_string(size) + " (refused)");
        return nullptr;
    }
    void* block = std::malloc(size ? size : 1);
    if (block) ++browser->liveAllocations_;
    browser->Log("<- NPN_MemAlloc " + std::to_string(size) + (block ? "" : " (failed)"));
    return block;
}

void Browser::MemFree(void* pointer) {
    if (!pointer) return;
    if (Browser* browser = Current()) {
        --browser->liveAllocations_;
        browser->Log("<- NPN_MemFree");
    }
    std::free(pointer);
}

uint32_t Browser::MemFlush(uint32_t) { return 0; }

void* Browser::Allocate(std::size_t size) {
    Browser* browser = Current();
    void* block = std::malloc(size ? size : 1);
    if (block && browser) ++browser->liveAllocations_;
    return block;
}

void Browser::Free(void* pointer) {
    if (!pointer) return;
    if (Browser* browser = Current()) --browser->liveAllocations_;
    std::free(pointer);
}

}  // namespace nphost
