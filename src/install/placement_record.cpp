#include "install/placement_record.h"

#include <array>
#include <vector>

#include <windows.h>
#include <bcrypt.h>
#include <winver.h>

#include "framework/decimal_text.h"
#include "framework/unique_resource.h"

namespace install {

namespace {

void CloseAlgorithm(BCRYPT_ALG_HANDLE algorithm) { ::BCryptCloseAlgorithmProvider(algorithm, 0); }
void DestroyHash(BCRYPT_HASH_HANDLE hash) { ::BCryptDestroyHash(hash); }
using UniqueAlgorithm = fw::UniqueResource<BCRYPT_ALG_HANDLE, CloseAlgorithm>;
using UniqueHash = fw::UniqueResource<BCRYPT_HASH_HANDLE, DestroyHash>;

constexpr std::size_t kDigestBytes = 32;
using Digest = std::array<unsigned char, kDigestBytes>;

// A SHA-256 computed by the platform; `ok()` turns false for good on the
// first failure.
class Sha256 {
public:
    Sha256() {
        ok_ = BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM,
                                                           nullptr, 0)) &&
              BCRYPT_SUCCESS(::BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
    }
    void Add(const void* bytes, std::size_t count) {
        ok_ = ok_ && BCRYPT_SUCCESS(::BCryptHashData(
                         hash_.get(), static_cast<PUCHAR>(const_cast<void*>(bytes)), ULONG(count), 0));
    }
    std::optional<Digest> Finish() {
        Digest digest{};
        ok_ = ok_ && BCRYPT_SUCCESS(::BCryptFinishHash(hash_.get(), digest.data(), ULONG(digest.size()), 0));
        if (!ok_) return std::nullopt;
        return digest;
    }

private:
    UniqueAlgorithm algorithm_;  // declared first: the hash goes before its algorithm
    UniqueHash hash_;
    bool ok_ = false;
};

std::wstring Hex(const unsigned char* bytes, std::size_t count) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

std::wstring Upper(const std::wstring& text) {
    std::wstring upper = text;
    if (!upper.empty()) ::CharUpperBuffW(upper.data(), DWORD(upper.size()));
    return upper;
}

// The entry's key name: the same for every spelling of the path that
// differs only in case.
std::wstring EntryKeyOf(const std::wstring& path) {
    const std::wstring upper = Upper(path);
    Sha256 hash;
    hash.Add(upper.data(), upper.size() * sizeof(wchar_t));
    const std::optional<Digest> digest = hash.Finish();
    return std::wstring(kPlacementRecordKey) + L"\\" +
           (digest ? Hex(digest->data(), 16) : std::wstring(L"unnamed"));
}

std::optional<std::wstring> ReadText(HKEY key, const wchar_t* name) {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = DWORD(buffer.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                           &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    buffer.back() = L'\0';
    return std::wstring(buffer.data());
}

bool WriteText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

std::optional<FileFingerprint> FingerprintOf(const std::wstring& path) {
    const fw::UniqueHandle file = fw::AdoptFileHandle(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::nullopt;
    FileFingerprint fingerprint;
    Sha256 hash;
    std::vector<unsigned char> buffer(64 * 1024);
    DWORD got = 0;
    do {
        if (!::ReadFile(file.get(), buffer.data(), DWORD(buffer.size()), &got, nullptr)) {
            return std::nullopt;
        }
        hash.Add(buffer.data(), got);
        fingerprint.size += got;
    } while (got != 0);
    const std::optional<Digest> digest = hash.Finish();
    if (!digest) return std::nullopt;
    fingerprint.sha256 = Hex(digest->data(), digest->size());
    return fingerprint;
}

std::wstring FileVersionText(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
    void* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", &fixed, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    return fw::DecimalText(HIWORD(info->dwFileVersionMS)) + L"." +
           fw::DecimalText(LOWORD(info->dwFileVersionMS)) + L"." +
           fw::DecimalText(HIWORD(info->dwFileVersionLS)) + L"." +
           fw::DecimalText(LOWORD(info->dwFileVersionLS));
}

std::optional<PlacedFile> FindPlacedFile(const std::wstring& path) {
    fw::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, EntryKeyOf(path).c_str(), 0, KEY_QUERY_VALUE,
                        key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    PlacedFile file;
    const std::optional<std::wstring> recordedPath = ReadText(key.get(), L"Path");
    // Another path whose digest collides is not this file.
    if (!recordedPath || Upper(*recordedPath) != Upper(path)) return std::nullopt;
    file.path = *recordedPath;
    file.classId = ReadText(key.get(), L"Class").value_or(L"");
    file.version = ReadText(key.get(), L"Version").value_or(L"");
    file.fingerprint.sha256 = ReadText(key.get(), L"SHA256").value_or(L"");
    file.publisher = ReadText(key.get(), L"Publisher").value_or(L"");
    DWORD type = REG_NONE;
    DWORD bytes = sizeof file.fingerprint.size;
    if (::RegQueryValueExW(key.get(), L"Size", nullptr, &type,
                           reinterpret_cast<BYTE*>(&file.fingerprint.size), &bytes) != ERROR_SUCCESS ||
        type != REG_QWORD || bytes != sizeof file.fingerprint.size) {
        return std::nullopt;
    }
    return file;
}

bool RecordPlacedFile(const PlacedFile& file) {
    fw::UniqueHKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, EntryKeyOf(file.path).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::uint64_t size = file.fingerprint.size;
    return WriteText(key.get(), L"Path", file.path) && WriteText(key.get(), L"Class", file.classId) &&
           WriteText(key.get(), L"Version", file.version) &&
           ::RegSetValueExW(key.get(), L"Size", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&size),
                            sizeof size) == ERROR_SUCCESS &&
           WriteText(key.get(), L"SHA256", file.fingerprint.sha256) &&
           WriteText(key.get(), L"Publisher", file.publisher);
}

void ForgetPlacedFile(const std::wstring& path) {
    if (FindPlacedFile(path)) ::RegDeleteTreeW(HKEY_CURRENT_USER, EntryKeyOf(path).c_str());
}

bool IsUnchangedPlacedFile(const std::wstring& path, const std::wstring& classId) {
    const std::optional<PlacedFile> placed = FindPlacedFile(path);
    if (!placed || Upper(placed->classId) != Upper(classId)) return false;
    const std::optional<FileFingerprint> now = FingerprintOf(path);
    return now && *now == placed->fingerprint;
}

}  // namespace install
