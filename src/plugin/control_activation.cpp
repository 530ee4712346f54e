// From a delivered property file to a running control.
#include "plugin/control_window.h"
#include "propfile/ocx_info.h"
#include "propfile/property_file_reader.h"

// A window that already holds a record ignores further property files: the
// running control stays as it is, and a control cannot replace itself by
// asking for a URL that ends in ".opf".
void ControlWindow::LoadPropertyFile(std::string fileName, std::string url, int32_t width,
                                     int32_t height) {
    if (info) return;
    CPropertyFileReader reader;
    info = std::make_unique<COCXInfo>();
    reader.ReadPropertyFile(fileName, *info);  // activation goes on with what was read
    const std::size_t slash = url.rfind('/');
    info->baseUrl = slash == std::string::npos ? std::string() : url.substr(0, slash + 1);
    info->windowWidth = width;
    info->windowHeight = height;
    info->propertyFilePath = std::move(fileName);
    ActivateControl();
}

void ControlWindow::ActivateControl() {}
