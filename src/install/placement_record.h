// The record of the control files the plug-in placed: which file, for which
// class, and what its bytes were. A file at a target is replaced only when
// this record says it is ours and its bytes are unchanged since.
//
// Kept under HKEY_CURRENT_USER\Software\Trevalon\Trevalon\Placed Controls,
// one subkey per placed file, named by a digest of its upper-cased path (so
// one file has one entry), with the values "Path" (REG_SZ), "Class" (the
// class id text), "Version" (the fixed file version "a.b.c.d", "" when the
// file has none), "Size" (REG_QWORD), "SHA256" (lower-case hex) and
// "Publisher" (REG_SZ, "" until a publisher check names one).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace install {

inline constexpr wchar_t kPlacementRecordKey[] =
    L"Software\\Trevalon\\Trevalon\\Placed Controls";

// What a file's bytes are: their count and their SHA-256.
struct FileFingerprint {
    std::uint64_t size = 0;
    std::wstring sha256;  // 64 lower-case hex digits
    bool operator==(const FileFingerprint&) const = default;
};

// One placed control file, as it was when it was placed.
struct PlacedFile {
    std::wstring path;     // full path as placed
    std::wstring classId;  // "{xxxxxxxx-...}", the class it was installed for
    std::wstring version;  // fixed file version "a.b.c.d", or ""
    FileFingerprint fingerprint;
    // Who signed the file, as the publisher check found it; "" when no
    // check named one. Set between expansion and placement.
    std::wstring publisher;
};

// The size and SHA-256 (through the platform's BCrypt) of the file at
// `path`, read with others allowed to read it; nothing when it cannot be read.
std::optional<FileFingerprint> FingerprintOf(const std::wstring& path);

// The fixed file version of the file at `path` as "a.b.c.d"; "" when it has
// no version resource.
std::wstring FileVersionText(const std::wstring& path);

// The entry for `path`; nothing when the plug-in has no record of it.
std::optional<PlacedFile> FindPlacedFile(const std::wstring& path);

// Writes (or overwrites) the entry for `file.path`. False when the record
// cannot be written; the file is placed all the same then.
bool RecordPlacedFile(const PlacedFile& file);

// Removes the entry for `path`, if any.
void ForgetPlacedFile(const std::wstring& path);

// True when the record holds `path` for the class `classId` and the file's
// bytes there are still the recorded ones.
bool IsUnchangedPlacedFile(const std::wstring& path, const std::wstring& classId);

}  // namespace install
