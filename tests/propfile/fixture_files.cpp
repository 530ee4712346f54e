#include "fixture_files.h"

#include <atomic>
#include <fstream>
#include <sstream>

#include "propfile/property_file_layout.h"

namespace propfile_test {

namespace {

void RemoveFile(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
}

}  // namespace

const CLSID kTestClsid = {0x6B1E3C2A, 0x45D7, 0x4F10, {0x9A, 0x3B, 0x0C, 0x5D, 0x7E, 0x9F, 0x12, 0x34}};
const char kTestClsidText[] = "{6B1E3C2A-45D7-4F10-9A3B-0C5D7E9F1234}";

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(sizeof temp, temp);
    std::ostringstream name;
    name << temp << "propfile-" << ::GetCurrentProcessId() << "-" << counter++;
    path_ = name.str();
    ::CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    WIN32_FIND_DATAA found;
    const HANDLE search = ::FindFirstFileA(File("*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) RemoveFile(File(found.cFileName));
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(path_.c_str());
}

opftool::StorageNode PropertyFileTree(const Streams& headerStreams, std::optional<CLSID> clsid,
                                      const Streams& rootStreams) {
    opftool::StorageNode root{"", std::nullopt, rootStreams, {}};
    root.storages.push_back({propfile::kHeaderSection, std::nullopt, headerStreams, {}});
    root.storages.push_back(
        {propfile::kObjectPropertySection, clsid, {{propfile::kContentsStream, ""}}, {}});
    return root;
}

void WriteRawFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadRawFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

UniqueHandle OpenExistingFile(const std::string& path, DWORD access, DWORD share) {
    const HANDLE file = ::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

bool CanOpenExclusively(const std::string& path) {
    return OpenExistingFile(path, GENERIC_READ, 0).valid();
}

}  // namespace propfile_test
