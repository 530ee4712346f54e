#include "property_file_run.h"

#include <cstdio>
#include <optional>

#include <ole2.h>

#include "browser.h"
#include "wide_text.h"

namespace nphost {
namespace {

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

std::optional<Answer> AnswerFileUrl(const std::string& url) {
    const std::string prefix = "file:///";
    if (url.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    std::string path = url.substr(prefix.size());
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return Answer{url, path};
}

int ShowInstance(const PropertyFileOptions& options, PluginModule& module) {
    Browser browser(module);
    browser.echoLog = true;
    browser.delivery = options.immediate ? Delivery::Immediate : Delivery::Later;
    browser.resolver = AnswerFileUrl;
    if (browser.Initialize() != NPERR_NO_ERROR) {
        std::fprintf(stderr, "nphost: the plug-in refused to initialise\n");
        return 1;
    }
    Instance& instance = browser.NewInstance();
    if (instance.New(options.arguments) != NPERR_NO_ERROR || instance.SetWindow() != NPERR_NO_ERROR) {
        return 1;
    }
    instance.Deliver(FileUrl(options.file), options.file);
    const DWORD until = ::GetTickCount() + static_cast<DWORD>(options.runForSeconds * 1000);
    do {
        browser.RunPending();
        browser.PumpMessages(50);
    } while (static_cast<LONG>(until - ::GetTickCount()) > 0);
    instance.Destroy();
    return 0;
}

}  // namespace

int RunPropertyFile(const PropertyFileOptions& options) {
    if (::GetFileAttributesA(options.file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "nphost: cannot read %s\n", options.file.c_str());
        return 1;
    }
    ::OleInitialize(nullptr);
    int status = 0;
    {
        PluginModule module(tooltext::Widen(options.plugin));
        if (module.valid()) {
            status = ShowInstance(options, module);
        } else {
            std::fprintf(stderr, "nphost: %s is not a loadable NPAPI plug-in\n", options.plugin.c_str());
            status = 1;
        }
    }
    ::OleUninitialize();
    return status;
}

}  // namespace nphost
