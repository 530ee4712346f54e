// The per-instance record the browser keeps for each embedded page object.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "npapi/npapi.h"

namespace plugin {

class PluginWindow;

// Constructed in the browser's memory by NPP_New, stored in NPP::pdata,
// destroyed and freed by NPP_Destroy.
struct PluginInstanceData {
    int32_t width;
    int32_t height;
    std::unique_ptr<PluginWindow> window;  // null until NPP_SetWindow attaches one
    // The embed's attributes as the page gave them (the browser's arrays live
    // only during NPP_New); pairs without a name are left out.
    std::vector<std::pair<std::string, std::string>> arguments;
    // The first property file delivered while the instance had no window,
    // read at once (the browser deletes its copy): loaded when a window
    // comes.
    struct EarlyPropertyFile {
        std::string fileName;
        std::string url;
        std::optional<std::string> bytes;  // nullopt: it could not be read
    };
    std::optional<EarlyPropertyFile> earlyPropertyFile;
};

constexpr int32_t kDefaultEmbedSize = 100;

// Applies the page's "width" and "height" arguments (names without regard to
// case, later pairs win, values read as propfile::ParseInteger does) to the
// record, and keeps a copy of every argument.
void ApplyEmbedArguments(PluginInstanceData& record, int16_t argc, char* argn[], char* argv[]);

// How a delivered file is handled, by the extension of its URL.
enum class DeliveredFileKind { PropertyFile, ControlFile, RequestedFile };

// The text after the URL's last ".", lower-cased; empty without ".".
std::string UrlExtension(const std::string& url);
DeliveredFileKind ClassifyDeliveredFile(const std::string& url);

// Tears the instance's window down (its window object gives the browser's
// window its own procedure back). Does nothing when the record has no window.
void DetachPluginWindow(PluginInstanceData& record);

}  // namespace plugin
