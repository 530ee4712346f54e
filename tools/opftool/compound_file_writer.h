// Writing a whole compound file from a description of its storages and
// streams: what `opftool create` and the tests' fixtures are made with.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <objbase.h>

namespace opftool {

struct StorageNode {
    std::string name;               // ANSI; not used for the root
    std::optional<CLSID> classId;   // recorded with WriteClassStg when set
    std::vector<std::pair<std::string, std::string>> streams;  // name, exact bytes
    std::vector<StorageNode> storages;
};

// Writes `root` as a new compound file at `path` (ANSI), replacing any file
// there. Returns the first failing status; the file may then be partial.
HRESULT WriteCompoundFile(const std::string& path, const StorageNode& root);

}  // namespace opftool
