#include "plugin/plugin_instance.h"

#include <cctype>
#include <climits>

#include <windows.h>

#include "plugin/plugin_window.h"

int32_t ParseEmbedInteger(const char* text) {
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (std::isspace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    for (; std::isdigit(*p); ++p) {
        value = value * 10 + (*p - '0');
        if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;  // saturate, keep going
    }
    if (negative) return static_cast<int32_t>(-value);
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

void ApplyEmbedArguments(PluginInstanceData& record, int16_t argc, char* argn[], char* argv[]) {
    if (argc <= 0 || !argn || !argv) return;
    for (int16_t i = 0; i < argc; ++i) {
        if (!argn[i]) continue;
        if (::lstrcmpiA(argn[i], "width") == 0) {
            record.width = ParseEmbedInteger(argv[i]);
        } else if (::lstrcmpiA(argn[i], "height") == 0) {
            record.height = ParseEmbedInteger(argv[i]);
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
    PluginWindow* window = record.window;
    if (!window) return;
    HWND handle = window->m_hWnd;
    WNDPROC browserProcedure = *window->GetSuperWndProcAddr();

    window->DestroyControlObjects();
    window->Detach();
    delete window;
    record.window = nullptr;

    if (handle && browserProcedure && ::IsWindow(handle)) {
        ::SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(browserProcedure));
    }
}
