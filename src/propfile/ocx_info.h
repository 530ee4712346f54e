// COCXInfo: what a property file says about the control hosted by one
// plug-in instance: the file's header values and the control's class, where
// the file came from and the size of the control's window.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>
#include <objbase.h>

namespace propfile {

struct COCXInfo {
    std::string propertyFilePath;
    std::string baseUrl;
    std::string browserVersion;
    std::string companyName;
    std::string fileDescription;
    std::string legalCopyright;
    std::string legalTrademarks;
    std::string productName;
    std::string productVersion;
    std::string filenameUrl;
    std::string licenseUrl;
    std::string clsidText;
    int32_t headerWidth = 0;
    int32_t headerHeight = 0;
    CLSID clsid = CLSID_NULL;
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;
    BOOL isCompressed = FALSE;
};

}  // namespace propfile
