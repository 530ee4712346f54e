// From a delivered property file to a running control.
#include "plugin/control_window.h"
#include "propfile/ocx_info.h"

void ControlWindow::LoadPropertyFile(std::string fileName, std::string url, int32_t width,
                                     int32_t height) {
    info = std::make_unique<COCXInfo>();
    const std::size_t slash = url.rfind('/');
    info->baseUrl = slash == std::string::npos ? std::string() : url.substr(0, slash + 1);
    info->windowWidth = width;
    info->windowHeight = height;
    info->propertyFilePath = std::move(fileName);
    ActivateControl();
}

void ControlWindow::ActivateControl() {}
