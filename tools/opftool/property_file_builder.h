// The compound-file layout of an object property file made from its values.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "opftool/compound_file_writer.h"

namespace opftool {

struct PropertyFileContent {
    CLSID clsid = CLSID_NULL;
    std::optional<std::string> browserVersion;  // the root's "Browser Version"
    std::vector<std::pair<std::string, std::string>> headers;  // "Header Section" key, value
    std::string contents;  // the control's saved state
};

// "Browser Version" (when given) at the root, "Header Section" with one
// stream per header, "Object Property Section" with the class identifier and
// "Contents". Each value is stored as its bytes and one zero byte.
StorageNode BuildPropertyFile(const PropertyFileContent& content);

}  // namespace opftool
