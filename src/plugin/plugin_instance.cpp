#include "plugin/plugin_instance.h"

#include <windows.h>

#include "plugin/plugin_window.h"
#include "propfile/header_value.h"

namespace plugin {

void ApplyEmbedArguments(PluginInstanceData& record, int16_t argc, char* argn[], char* argv[]) {
    if (argc <= 0 || !argn || !argv) return;
    for (int16_t i = 0; i < argc; ++i) {
        if (!argn[i]) continue;
        record.arguments.emplace_back(argn[i], argv[i] ? argv[i] : "");
        if (::lstrcmpiA(argn[i], "width") == 0) {
            record.width = propfile::ParseInteger(argv[i]);
        } else if (::lstrcmpiA(argn[i], "height") == 0) {
            record.height = propfile::ParseInteger(argv[i]);
        }
    }
}

std::string UrlExtension(const std::string& url) {
    const std::size_t dot = url.rfind('.');
    if (dot == std::string::npos) return {};
    std::string extension = url.substr(dot + 1);
    if (!extension.empty()) ::CharLowerBuffA(extension.data(), static_cast<DWORD>(extension.size()));
    return extension;
}

DeliveredFileKind ClassifyDeliveredFile(const std::string& url) {
    const std::string extension = UrlExtension(url);
    if (extension == "opf") return DeliveredFileKind::PropertyFile;
    if (extension == "ocx" || extension == "oc_" || extension == "z") {
        return DeliveredFileKind::ControlFile;
    }
    return DeliveredFileKind::RequestedFile;
}

void DetachPluginWindow(PluginInstanceData& record) {
    if (!record.window) return;
    record.window->DestroyControlObjects();
    record.window.reset();
}

}  // namespace plugin
