// Where a downloaded control file is placed and how it gets there: the name
// comes from the URL, so it is checked before anything is written; the file
// is expanded beside its target and moved into place whole; an existing file
// is replaced only when the placement record says it is ours and unchanged.
// Paths are UTF-16 throughout, up to the platform's path limit.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include <windows.h>

#include "install/class_registration.h"

namespace install {

// Longest full path (without its terminating zero) of a placed file: the
// platform's loader takes no longer one.
constexpr std::size_t kMaxPlacedPath = MAX_PATH - 1;

// Where control files go: the configured storage directory, and the
// per-user one used when the configured directory cannot be written or the
// machine's class keys cannot (then the control registers for this user).
struct StorageDirectories {
    std::wstring configured;
    std::wstring perUser;  // "": no per-user placement
};

// True for a name the platform stores as written in one directory: not
// empty, no <>:"/\|?* or control characters, not a device name (CON, NUL,
// COM1, ... with or without an extension), no trailing dot or space.
bool IsPlainFileName(const std::wstring& name);

// `fileName` up to its last "." (the whole name without one) and ".ocx";
// nothing when that is not a plain file name (an empty stem included).
std::optional<std::wstring> PlacedControlName(const std::wstring& fileName);

// `directory`, a backslash unless it ends with one, and `name`.
std::wstring JoinPath(const std::wstring& directory, const std::wstring& name);

// Whether both paths name one file, whatever their spelling (case, short
// names, links); false when either does not open. Files in use answer too.
bool IsSameFile(const std::wstring& first, const std::wstring& second);

// A file of this process's own, deleted when this goes unless released.
class TemporaryFile {
public:
    TemporaryFile() = default;
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    TemporaryFile(TemporaryFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    TemporaryFile& operator=(TemporaryFile&& other) noexcept;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    const std::wstring& path() const { return path_; }
    explicit operator bool() const { return !path_.empty(); }
    // The file is no longer this object's to delete.
    void release() { path_.clear(); }

private:
    std::wstring path_;
};

// A new, empty file of a unique name in `directory`; empty when none can be
// created there.
TemporaryFile NewTemporaryFile(const std::wstring& directory);

// Where the expansion goes: the first of the storage directories that takes
// a new file (the per-user one created when missing), with the scope its
// controls register in.
struct ExpansionSpot {
    std::wstring directory;
    RegistrationScope scope = RegistrationScope::Machine;
    TemporaryFile file;  // empty, to be expanded into
};
std::optional<ExpansionSpot> ReserveExpansionSpot(const StorageDirectories& storage);

// Expands `source` (SZDD-compressed, or copied as it is) into `target`,
// creating or truncating it, through the platform's LZ service on handles
// opened by UTF-16 name. False when either file cannot be opened or the copy
// fails; a target written in part is deleted then.
bool ExpandLzFile(const std::wstring& source, const std::wstring& target);

// The file a placement goes to.
struct PlacementTarget {
    std::wstring path;
    bool replacesOwnFile = false;  // an unchanged file placed earlier for the same class
};

// `name` in `directory` when it is free, or holds a file the placement record
// says this plug-in placed for `classId` whose bytes are unchanged and which
// is not in use; otherwise the first such of stem-2.ocx ... stem-99.ocx.
// Nothing when every name is taken or the path would be too long.
std::optional<PlacementTarget> ChooseTarget(const std::wstring& directory, const std::wstring& name,
                                            const std::wstring& classId);

// The expanded file moved to its target. An own file that was there is
// kept aside under a temporary name until Commit; Undo (or destruction
// without Commit) puts the target back as it was.
class ControlMove {
public:
    ControlMove(TemporaryFile& expanded, const PlacementTarget& target);
    ControlMove(const ControlMove&) = delete;
    ControlMove& operator=(const ControlMove&) = delete;
    ~ControlMove() { Undo(); }

    bool placed() const { return placed_; }
    // The new file stays; the old one, if any, is deleted.
    void Commit();
    // The new file goes (moved aside first when it cannot be deleted); the
    // old one comes back.
    void Undo();

private:
    std::wstring target_;
    TemporaryFile aside_;  // the old file while the new one is on trial
    bool placed_ = false;
};

}  // namespace install
