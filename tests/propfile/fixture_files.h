// Compound files for the property-file tests, made in a folder of their own.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "framework/unique_resource.h"
#include "opftool/compound_file_writer.h"

namespace propfile_test {

// A new folder under the temp directory, removed with its files when it goes
// (read-only files included).
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// {6B1E3C2A-45D7-4F10-9A3B-0C5D7E9F1234}
extern const CLSID kTestClsid;
extern const char kTestClsidText[];

using Streams = std::vector<std::pair<std::string, std::string>>;

// A property file's storages: `rootStreams` at the root, `headerStreams` (exact
// bytes) in "Header Section", and "Object Property Section" with `clsid` and
// an empty "Contents".
opftool::StorageNode PropertyFileTree(const Streams& headerStreams,
                                      std::optional<CLSID> clsid = kTestClsid,
                                      const Streams& rootStreams = {});

// Writes `bytes` as the whole file at `path`.
void WriteRawFile(const std::string& path, const std::string& bytes);
std::string ReadRawFile(const std::string& path);

inline void CloseHandleValue(HANDLE handle) { ::CloseHandle(handle); }
using UniqueHandle = fw::UniqueResource<HANDLE, CloseHandleValue>;

// CreateFileA on an existing file; empty when refused.
UniqueHandle OpenExistingFile(const std::string& path, DWORD access, DWORD share);

// TRUE when nobody holds the file: it opens with no sharing at all.
bool CanOpenExclusively(const std::string& path);

}  // namespace propfile_test
