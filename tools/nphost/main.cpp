// nphost: plays the browser for the plug-in from the command line.
//
//   nphost PAGE [--answer yes|no|ask] [--screenshot OUT.png] [--run-for SECONDS] [--plugin DLL]
//   nphost --plugin DLL [--immediate] [--arg NAME=VALUE]... [--run-for SECONDS] FILE.opf
//
// Page mode (PAGE is a local path or a file:/http: URL of an HTML page):
// shows the page's embeds, see page_run.h. Property-file mode (a FILE.opf):
// loads the plug-in, makes one instance (with the embed arguments given),
// gives it a window, delivers the property file under its file: URL, answers
// the plug-in's URL requests with local files, runs the message loop for a
// while and tears the instance down. Both print every call made.
#include <cstdio>
#include <optional>
#include <cstdlib>
#include <string>
#include <vector>

#include <ole2.h>

#include "browser.h"
#include "page_run.h"
#include "plugin_finder.h"

namespace {

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "nphost: %s\n", problem);
    std::fprintf(stderr,
                 "usage: nphost PAGE.html [--answer yes|no|ask] [--screenshot OUT.png] "
                 "[--run-for SECONDS] [--plugin DLL]\n"
                 "       nphost --plugin DLL [--immediate] [--arg NAME=VALUE]... "
                 "[--run-for SECONDS] FILE.opf\n"
                 "Without --plugin, the plug-in for %s is looked for in the\n"
                 "\"plugins\" directory beside a local page, then beside nphost.exe.\n"
                 "--answer (default no) answers the download warning; ask leaves it to you.\n",
                 nphost::kPropertyFileMimeType);
    return problem ? 2 : 0;
}

std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                        wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    return wide;
}

// file:///C:/dir/name for a local path.
std::string FileUrl(const std::string& path) {
    char full[MAX_PATH] = {};
    if (!::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr)) return {};
    std::string url = std::string("file:///") + full;
    for (char& c : url) {
        if (c == '\\') c = '/';
    }
    return url;
}

std::optional<nphost::Answer> AnswerFileUrl(const std::string& url) {
    const std::string prefix = "file:///";
    if (url.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    std::string path = url.substr(prefix.size());
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return nphost::Answer{url, path};
}

bool IsPropertyFile(const std::string& name) {
    return name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".opf") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string plugin;
    std::string file;
    double runFor = 1.0;
    bool immediate = false;
    bool runForGiven = false;
    nphost::PageOptions page;
    page.answer = nphost::WarningAnswer::No;
    std::vector<std::pair<std::string, std::string>> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return Usage(nullptr);
        if (arg == "--plugin" && i + 1 < argc) {
            plugin = argv[++i];
        } else if (arg == "--immediate") {
            immediate = true;
        } else if (arg == "--run-for" && i + 1 < argc) {
            runFor = std::atof(argv[++i]);
            runForGiven = true;
            if (!(runFor >= 0 && runFor <= 86400)) return Usage("--run-for expects 0..86400 seconds");
        } else if (arg == "--answer" && i + 1 < argc) {
            const std::string answer = argv[++i];
            if (answer == "yes") page.answer = nphost::WarningAnswer::Yes;
            else if (answer == "no") page.answer = nphost::WarningAnswer::No;
            else if (answer == "ask") page.answer.reset();
            else return Usage("--answer expects yes, no or ask");
        } else if (arg == "--screenshot" && i + 1 < argc) {
            page.screenshot = argv[++i];
        } else if (arg == "--arg" && i + 1 < argc) {
            const std::string pair = argv[++i];
            const std::size_t equals = pair.find('=');
            if (equals == std::string::npos) return Usage("--arg expects NAME=VALUE");
            arguments.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
        } else if (!arg.empty() && arg[0] != '-' && file.empty()) {
            file = arg;
        } else {
            return Usage(("unexpected argument: " + arg).c_str());
        }
    }
    if (file.empty()) return Usage("a page or a property file is required");
    if (!IsPropertyFile(file)) {
        if (immediate || !arguments.empty()) return Usage("--immediate and --arg are for a FILE.opf");
        page.page = file;
        page.plugin = plugin;
        if (runForGiven) page.runForSeconds = runFor;
        return nphost::RunPage(page);
    }
    if (plugin.empty()) return Usage("--plugin DLL is required");
    if (::GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "nphost: cannot read %s\n", file.c_str());
        return 1;
    }

    ::OleInitialize(nullptr);
    int status = 0;
    {
        nphost::PluginModule module(Widen(plugin));
        if (!module.valid()) {
            std::fprintf(stderr, "nphost: %s is not a loadable NPAPI plug-in\n", plugin.c_str());
            ::OleUninitialize();
            return 1;
        }
        nphost::Browser browser(module);
        browser.echoLog = true;
        browser.delivery = immediate ? nphost::Delivery::Immediate : nphost::Delivery::Later;
        browser.resolver = AnswerFileUrl;
        if (browser.Initialize() != NPERR_NO_ERROR) {
            std::fprintf(stderr, "nphost: the plug-in refused to initialise\n");
            status = 1;
        } else {
            nphost::Instance& instance = browser.NewInstance();
            if (instance.New(arguments) == NPERR_NO_ERROR && instance.SetWindow() == NPERR_NO_ERROR) {
                instance.Deliver(FileUrl(file), file);
                const DWORD until = ::GetTickCount() + static_cast<DWORD>(runFor * 1000);
                do {
                    browser.RunPending();
                    browser.PumpMessages(50);
                } while (static_cast<LONG>(until - ::GetTickCount()) > 0);
                instance.Destroy();
            } else {
                status = 1;
            }
        }
    }
    ::OleUninitialize();
    return status;
}
