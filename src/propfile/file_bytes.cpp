#include "propfile/file_bytes.h"

#include <windows.h>

#include "framework/unique_resource.h"
#include "propfile/ansi_text.h"

namespace propfile {

std::optional<std::string> ReadFileBytes(const std::string& path) {
    const fw::UniqueHandle file = fw::AdoptFileHandle(
        ::CreateFileW(WidenAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                      FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kFileBytesLimit) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace propfile
