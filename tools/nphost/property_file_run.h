// nphost's property-file mode: loads the plug-in, makes one instance (with
// the embed arguments given), gives it a window, delivers the property file
// under its file: URL, answers the plug-in's URL requests with local files,
// runs the message loop for a while and tears the instance down.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace nphost {

struct PropertyFileOptions {
    std::string plugin;  // the plug-in DLL
    std::string file;    // the FILE.opf
    std::vector<std::pair<std::string, std::string>> arguments;  // the embed's
    bool immediate = false;  // deliver requested files within the request
    double runForSeconds = 1.0;
};

// Returns the process exit status: 0 when the instance was made, shown and
// torn down; 1 otherwise (with the reason on stderr).
int RunPropertyFile(const PropertyFileOptions& options);

}  // namespace nphost
