// Download, expansion, placement and registration of a missing control.
#include "plugin/control_window.h"

void ControlWindow::OfferDownload() {}

void ControlWindow::InstallControlFile(std::string, std::string) {}
