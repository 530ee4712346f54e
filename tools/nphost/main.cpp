// nphost: plays the browser for the plug-in from the command line.
//
//   nphost --plugin DLL [--immediate] [--arg NAME=VALUE]... [--run-for SECONDS] FILE.opf
//
// Loads the plug-in, makes one instance (with the embed arguments given),
// gives it a window, delivers the property file under its file: URL, answers
// the plug-in's URL requests with local files, runs the message loop for a
// while, tears the instance down and prints every call made.
#include <cstdio>
#include <optional>
#include <cstdlib>
#include <string>
#include <vector>

#include <ole2.h>

#include "browser.h"

namespace {

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "nphost: %s\n", problem);
    std::fprintf(stderr,
                 "usage: nphost --plugin DLL [--immediate] [--arg NAME=VALUE]... "
                 "[--run-for SECONDS] FILE.opf\n");
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

}  // namespace

int main(int argc, char** argv) {
    std::string plugin;
    std::string file;
    double runFor = 1.0;
    bool immediate = false;
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
    if (plugin.empty()) return Usage("--plugin DLL is required");
    if (file.empty()) return Usage("a property file (FILE.opf) is required");
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
