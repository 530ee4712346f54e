#include "install/control_placement.h"

#include <algorithm>
#include <array>
#include <cwchar>
#include <cwctype>
#include <string_view>

#include <lzexpand.h>

#include "framework/decimal_text.h"
#include "framework/unique_resource.h"
#include "install/placement_record.h"

namespace install {

namespace {

std::wstring Upper(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t& c : result) c = static_cast<wchar_t>(std::towupper(c));
    return result;
}

bool IsDeviceName(const std::wstring& name) {
    // The platform treats "CON.txt" and "con " as the device too.
    std::wstring_view base(name);
    base = base.substr(0, base.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    const std::wstring upper = Upper(base);
    static constexpr std::array<std::wstring_view, 6> kFixed = {L"CON", L"PRN", L"AUX",
                                                               L"NUL", L"CONIN$", L"CONOUT$"};
    if (std::find(kFixed.begin(), kFixed.end(), upper) != kFixed.end()) return true;
    return upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT")) &&
           upper[3] >= L'0' && upper[3] <= L'9';
}

struct FileIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    bool operator==(const FileIdentity&) const = default;
};

// Opened for no access, so a file in use is answered too.
std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
    constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const fw::UniqueHandle file = fw::AdoptFileHandle(::CreateFileW(
        path.c_str(), 0, kAnyShare, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Nobody else has the file open or loaded: it opens for writing with no
// sharing. A loaded library refuses that.
bool CanTakeOver(const std::wstring& path) {
    return fw::AdoptFileHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
        .valid();
}

// Creates `directory` and its missing parents; true when it exists then.
bool EnsureDirectory(const std::wstring& directory) {
    for (std::size_t at = directory.find(L'\\', 3); at != std::wstring::npos;
         at = directory.find(L'\\', at + 1)) {
        ::CreateDirectoryW(directory.substr(0, at).c_str(), nullptr);
    }
    ::CreateDirectoryW(directory.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesW(directory.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// An LZ handle on the file `file`, which it then owns (LZClose closes the
// file); empty when the service refuses it, and `file` stays the caller's.
fw::UniqueLzFile LzHandleOn(fw::UniqueHandle& file) {
    const INT handle = ::LZInit(static_cast<HFILE>(HandleToLong(file.get())));
    if (handle < 0) return {};
    (void)file.release();
    return fw::UniqueLzFile(handle);
}

}  // namespace

bool IsPlainFileName(const std::wstring& name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;
    for (const wchar_t c : name) {
        if (c < 0x20 || c == 0x7F || std::wcschr(L"<>:\"/\\|?*", c)) return false;
    }
    return !IsDeviceName(name);
}

bool IsSameFile(const std::wstring& first, const std::wstring& second) {
    const std::optional<FileIdentity> identity = IdentityOf(first);
    return identity && identity == IdentityOf(second);
}

std::optional<std::wstring> PlacedControlName(const std::wstring& fileName) {
    const std::size_t dot = fileName.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
    if (stem.empty()) return std::nullopt;
    std::wstring name = stem + L".ocx";
    if (!IsPlainFileName(name)) return std::nullopt;
    return name;
}

std::wstring JoinPath(const std::wstring& directory, const std::wstring& name) {
    const bool hasSeparator = !directory.empty() && directory.back() == L'\\';
    return directory + (hasSeparator ? L"" : L"\\") + name;
}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
    if (this != &other) {
        if (!path_.empty()) ::DeleteFileW(path_.c_str());
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}

TemporaryFile::~TemporaryFile() {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
}

TemporaryFile NewTemporaryFile(const std::wstring& directory) {
    if (directory.empty()) return {};
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    const unsigned seed = unsigned(now.QuadPart) ^ (unsigned(::GetCurrentProcessId()) << 16);
    for (unsigned attempt = 1; attempt <= 100; ++attempt) {
        wchar_t name[32];
        ::wsprintfW(name, L"~ocx%08x.tmp", seed + attempt * 0x9E3779B9u);  // the platform's formatting
        const std::wstring path = JoinPath(directory, name);
        if (path.size() > kMaxPlacedPath) return {};
        const fw::UniqueHandle file = fw::AdoptFileHandle(::CreateFileW(
            path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return TemporaryFile(path);
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

std::optional<ExpansionSpot> ReserveExpansionSpot(const StorageDirectories& storage) {
    if (CanWriteMachineClasses()) {
        if (TemporaryFile file = NewTemporaryFile(storage.configured)) {
            return ExpansionSpot{storage.configured, RegistrationScope::Machine, std::move(file)};
        }
    }
    if (storage.perUser.empty() || !EnsureDirectory(storage.perUser)) return std::nullopt;
    TemporaryFile file = NewTemporaryFile(storage.perUser);
    if (!file) return std::nullopt;
    return ExpansionSpot{storage.perUser, RegistrationScope::User, std::move(file)};
}

bool ExpandLzFile(const std::wstring& source, const std::wstring& target) {
    fw::UniqueHandle input = fw::AdoptFileHandle(::CreateFileW(
        source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!input) return false;
    const fw::UniqueLzFile expanded = LzHandleOn(input);
    if (!expanded) return false;
    fw::UniqueHandle output = fw::AdoptFileHandle(::CreateFileW(
        target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output) return false;
    const LONG copied =
        ::LZCopy(expanded.get(), static_cast<HFILE>(HandleToLong(output.get())));
    output.reset();
    if (copied < 0) {
        ::DeleteFileW(target.c_str());
        return false;
    }
    return true;
}

std::optional<PlacementTarget> ChooseTarget(const std::wstring& directory, const std::wstring& name,
                                            const std::wstring& classId) {
    const std::wstring stem = name.substr(0, name.rfind(L'.'));
    for (int number = 1; number < 100; ++number) {
        const std::wstring path =
            JoinPath(directory, number == 1 ? name : stem + L"-" + fw::DecimalText(unsigned(number)) + L".ocx");
        if (path.size() > kMaxPlacedPath) return std::nullopt;
        if (!Exists(path)) return PlacementTarget{path, false};
        if (IsUnchangedPlacedFile(path, classId) && CanTakeOver(path)) {
            return PlacementTarget{path, true};
        }
    }
    return std::nullopt;
}

ControlMove::ControlMove(TemporaryFile& expanded, const PlacementTarget& target)
    : target_(target.path) {
    constexpr DWORD kFlags = MOVEFILE_WRITE_THROUGH;
    if (target.replacesOwnFile) {
        aside_ = NewTemporaryFile(target_.substr(0, target_.rfind(L'\\')));
        if (!aside_ || !::MoveFileExW(target_.c_str(), aside_.path().c_str(),
                                      kFlags | MOVEFILE_REPLACE_EXISTING)) {
            aside_ = {};  // the reserved name goes; the old file stayed where it was
            return;
        }
    }
    // Without MOVEFILE_REPLACE_EXISTING a file that appeared meanwhile stays.
    placed_ = ::MoveFileExW(expanded.path().c_str(), target_.c_str(), kFlags) != FALSE;
    if (placed_) {
        expanded.release();
    } else if (aside_) {
        ::MoveFileExW(aside_.path().c_str(), target_.c_str(), kFlags);
        aside_.release();
    }
}

void ControlMove::Commit() {
    placed_ = false;
    aside_ = {};
}

void ControlMove::Undo() {
    if (!placed_) return;
    placed_ = false;
    if (!::DeleteFileW(target_.c_str())) {
        // A library that stays loaded can still be renamed.
        TemporaryFile trash = NewTemporaryFile(target_.substr(0, target_.rfind(L'\\')));
        if (trash) ::MoveFileExW(target_.c_str(), trash.path().c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    // The old file is never deleted here: should it not move back, it stays
    // under its temporary name.
    if (aside_) ::MoveFileExW(aside_.path().c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH);
    aside_.release();
}

}  // namespace install
