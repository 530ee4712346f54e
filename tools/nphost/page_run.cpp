#include "page_run.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

#include <ole2.h>

#include "browser.h"
#include "fetcher.h"
#include "page.h"
#include "plugin_finder.h"
#include "screenshot.h"
#include "script_engine.h"
#include "url.h"
#include "wide_text.h"

namespace nphost {
namespace {

void Complain(const std::string& message) { std::fprintf(stderr, "nphost: %s\n", message.c_str()); }

// Balances a successful OleInitialize when it goes.
class ScopedOleInitialize {
public:
    ScopedOleInitialize() : result_(::OleInitialize(nullptr)) {}
    ScopedOleInitialize(const ScopedOleInitialize&) = delete;
    ScopedOleInitialize& operator=(const ScopedOleInitialize&) = delete;
    ~ScopedOleInitialize() {
        if (SUCCEEDED(result_)) ::OleUninitialize();
    }

private:
    HRESULT result_;
};

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The plug-in named on the command line, or the one found for the MIME type.
std::optional<FoundPlugin> ChoosePlugin(const PageOptions& options, const std::string& pageUrl) {
    if (!options.plugin.empty()) return FoundPlugin{options.plugin, "the command line"};
    const std::vector<std::string> directories = PluginDirectories(PathFromFileUrl(pageUrl));
    if (auto found = FindPlugin(kPropertyFileMimeType, directories)) return found;
    std::string searched = std::string("\n  HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE\\") + kMozillaPluginsKey;
    for (const std::string& directory : directories) searched += "\n  " + directory;
    Complain(std::string("no plug-in for ") + kPropertyFileMimeType + " in:" + searched);
    return std::nullopt;
}

// The embeds the plug-in serves: those without a type or with its MIME type.
// Every one of them must have a src.
bool CheckEmbeds(const std::vector<Embed>& embeds) {
    if (embeds.empty()) {
        Complain("the page has no <embed> elements");
        return false;
    }
    for (std::size_t i = 0; i < embeds.size(); ++i) {
        const std::optional<std::string> src = embeds[i].Get("src");
        if (!src || src->empty()) {
            Complain("embed " + std::to_string(i + 1) + " has no src");
            return false;
        }
        const std::optional<std::string> type = embeds[i].Get("type");
        if (type && _stricmp(type->c_str(), kPropertyFileMimeType) != 0) {
            Complain("embed " + std::to_string(i + 1) + " has the type \"" + *type +
                     "\", which this host has no plug-in for");
            return false;
        }
    }
    return true;
}

class PageSession {
public:
    PageSession(Browser& browser, Fetcher& fetcher, std::string pageUrl)
        : browser_(browser), fetcher_(fetcher), pageUrl_(std::move(pageUrl)) {
        browser_.resolver = [this](const std::string& url) { return Answer(url); };
    }
    bool failed() const { return failed_; }

    // Fetches `url` for the plug-in; a relative URL is taken relative to the
    // page and delivered under its absolute form, an absolute one unchanged.
    std::optional<nphost::Answer> Answer(const std::string& url) {
        const std::string absolute = ResolveUrl(pageUrl_, url);
        browser_.Log("   fetch " + absolute);
        const FetchResult result = fetcher_.Fetch(absolute);
        if (!result.ok) {
            Complain("cannot fetch " + absolute + ": " + result.error);
            browser_.Log("   (cannot fetch " + absolute + ": " + result.error + ")");
            failed_ = true;
            return std::nullopt;
        }
        return nphost::Answer{absolute, result.localFile};
    }

private:
    Browser& browser_;
    Fetcher& fetcher_;
    std::string pageUrl_;
    bool failed_ = false;
};

// OUT.png -> OUT-warning.png (a name without ".png" gets "-warning.png").
std::string WarningScreenshotPath(const std::string& screenshot) {
    const std::size_t size = screenshot.size();
    const bool png = size >= 4 && _stricmp(screenshot.c_str() + size - 4, ".png") == 0;
    return (png ? screenshot.substr(0, size - 4) : screenshot) + "-warning.png";
}

void RunFor(Browser& browser, ScriptEngine& scripts, double seconds) {
    const DWORD until = ::GetTickCount() + static_cast<DWORD>(seconds * 1000);
    do {
        browser.RunPending();
        scripts.RunDueTimers();
        browser.PumpMessages(scripts.pendingTimers() ? 10 : 50);
    } while (static_cast<LONG>(until - ::GetTickCount()) > 0);
}

// Runs the page's scripts in order; an external one is fetched relative to
// the page. A script that cannot be read or fails is logged and skipped.
void RunScripts(ScriptEngine& scripts, PageSession& session, const std::vector<Script>& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].src.empty()) {
            scripts.Run(list[i].text, "script " + std::to_string(i + 1));
        } else if (auto answer = session.Answer(list[i].src)) {
            if (auto text = ReadWholeFile(answer->localFile)) scripts.Run(*text, answer->deliveredUrl);
        }
    }
}

int ShowPage(const PageOptions& options, PluginModule& module, const std::vector<Embed>& embeds,
             const std::vector<Script>& scriptList, const std::string& pageUrl, Fetcher& fetcher) {
    Browser browser(module);
    ScriptEngine scripts(browser);
    browser.echoLog = true;
    ::SetWindowTextA(browser.pageWindow(), ("nphost - " + pageUrl).c_str());
    PageSession session(browser, fetcher, pageUrl);
    std::unique_ptr<WarningAnswerer> answerer;
    if (options.answer || !options.screenshot.empty()) {
        answerer = std::make_unique<WarningAnswerer>(
            options.answer, [&browser](const std::string& line) { browser.Log(line); },
            options.screenshot.empty() ? std::string() : WarningScreenshotPath(options.screenshot));
    }
    if (browser.Initialize() != NPERR_NO_ERROR) {
        Complain("the plug-in refused to initialise");
        return 1;
    }
    const PageLayout layout = LayOut(embeds);
    browser.SetPageSize(layout.width, layout.height);
    std::vector<Instance*> instances;
    for (std::size_t i = 0; i < embeds.size(); ++i) {
        const Placement& place = layout.places[i];
        Instance& instance = browser.NewInstanceAt(place.x, place.y, place.width, place.height);
        if (instance.New(embeds[i].attributes) != NPERR_NO_ERROR) {
            Complain("the plug-in refused embed " + std::to_string(i + 1));
            return 1;
        }
        instances.push_back(&instance);
        scripts.AddElement(instance, embeds[i].attributes);
        if (instance.SetWindow() != NPERR_NO_ERROR) {
            Complain("the plug-in refused the window of embed " + std::to_string(i + 1));
            return 1;
        }
    }
    for (std::size_t i = 0; i < embeds.size(); ++i) {
        if (auto answer = session.Answer(*embeds[i].Get("src"))) {
            instances[i]->Deliver(answer->deliveredUrl, answer->localFile);
        }
    }
    browser.RunPending();
    RunScripts(scripts, session, scriptList);
    RunFor(browser, scripts, options.runForSeconds);
    int status = session.failed() ? 1 : 0;
    if (!options.screenshot.empty()) {
        browser.RunPending();
        browser.PumpMessages(200);
        std::string error;
        if (WriteScreenshot(browser.pageWindow(), options.screenshot, error)) {
            browser.Log("   screenshot " + options.screenshot);
        } else {
            Complain("screenshot: " + error);
            status = 1;
        }
        if (answerer && answerer->captureFailed()) {
            Complain("the download warning could not be captured");
            status = 1;
        }
    }
    for (Instance* instance : instances) {
        if (instance->alive()) instance->Destroy();
    }
    return status;
}

}  // namespace

int RunPage(const PageOptions& options) {
    const std::string scheme = SchemeOf(options.page);
    const std::string pageUrl = scheme.empty() ? FileUrlFromPath(options.page) : options.page;
    if (pageUrl.empty()) {
        Complain("cannot make a URL of " + options.page);
        return 1;
    }
    Fetcher fetcher;
    const FetchResult page = fetcher.Fetch(pageUrl);
    if (!page.ok) {
        Complain("cannot read the page " + pageUrl + ": " + page.error);
        return 1;
    }
    const std::optional<std::string> html = ReadWholeFile(page.localFile);
    if (!html) {
        Complain("cannot read the page " + page.localFile);
        return 1;
    }
    const std::vector<Embed> embeds = ParseEmbeds(*html);
    if (!CheckEmbeds(embeds)) return 1;
    const std::optional<FoundPlugin> plugin = ChoosePlugin(options, pageUrl);
    if (!plugin) return 1;

    ScopedOleInitialize ole;
    PluginModule module(tooltext::Widen(plugin->path));
    if (!module.valid()) {
        Complain(plugin->path + " is not a loadable NPAPI plug-in (error " +
                 std::to_string(::GetLastError()) + ")");
        return 1;
    }
    std::printf("page %s\nplug-in %s (from %s)\n", pageUrl.c_str(), plugin->path.c_str(), plugin->where.c_str());
    std::fflush(stdout);
    return ShowPage(options, module, embeds, ParseScripts(*html), pageUrl, fetcher);
}

}  // namespace nphost
