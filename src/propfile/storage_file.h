// CStorageFile: walks one OLE compound file. It opens the file, enters named
// sub-storages and leaves them again, and opens, reads and closes the named
// streams of the storage it stands in. It is also the file through which a
// control's saved state is read: the stream opened last stays readable
// through Read and GetStream.
//
// States: Closed (constructed, or the root has been left), at the root (after
// Open), at depth n (after n EnterStorage calls). Every storage is opened
// transacted, share-exclusive and read-write (the root falls back to
// read-only), and is committed when it is left.
//
// Failures of Open, EnterStorage and LeaveStorage throw propfile::OleError
// with the failing status; the driver of the walk catches it. Whatever the
// object still holds when it is destroyed (the open stream, the current
// storage, the storages above it) is released then, on every path.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include "framework/ole_stream_file.h"

namespace propfile {

class CStorageFile : public fw::COleStreamFile {
public:
    // Storage modes used for every open.
    static constexpr DWORD kReadWriteStorageMode =
        STGM_TRANSACTED | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;  // 0x10012
    static constexpr DWORD kReadOnlyStorageMode =
        STGM_TRANSACTED | STGM_SHARE_EXCLUSIVE | STGM_READ;  // 0x10010
    static constexpr DWORD kStreamMode = STGM_SHARE_EXCLUSIVE | STGM_READWRITE;  // 0x12

    CStorageFile() = default;
    ~CStorageFile() override;

    // Opens the compound file at `path` (ANSI) read-write, or read-only when
    // that is refused, and stands at its root. Throws OleError with the status
    // of the read-only attempt when both are refused, or STG_E_DOCFILECORRUPT
    // when its sector chains or directory tree are broken (see
    // compound_file_check.h); the object stays Closed then.
    // Returns FALSE, changing nothing, when the object is not Closed.
    BOOL Open(const std::string& path);
    // The same for a compound file held in memory: the storage stands on its
    // own copy of `bytes` (an ILockBytes on an HGLOBAL), so commits change
    // that copy only, never `bytes` or any file. Same modes, throws and
    // FALSE as Open.
    BOOL OpenInMemory(const std::string& bytes);

    // Opens the sub-storage `name` of the current storage and stands in it.
    // Throws OleError on refusal (also when Closed); nothing changes then.
    void EnterStorage(const std::string& name);

    // Commits and releases the current storage and stands in the one above;
    // leaving the root closes the file. FALSE when Closed. A refused commit
    // throws OleError and the storage stays current.
    BOOL LeaveStorage();

    // Opens the stream `name` of the current storage with `mode` as the one
    // open stream. FALSE when Closed or refused; the refusal's status goes to
    // `*error` when given.
    BOOL OpenChildStream(const std::string& name, DWORD mode, HRESULT* error = nullptr);

    // Reads up to `max` bytes of the stream `name` of the current storage into
    // `buffer` and closes the stream again. Returns the number of bytes read;
    // 0 for a missing stream, a Closed object or a read error. Bytes of
    // `buffer` beyond the count are never written.
    UINT ReadValue(const std::string& name, BYTE* buffer, UINT max);

    BOOL isOpen() const { return isOpen_; }
    // The storage in which names are looked up, borrowed; null when Closed.
    IStorage* currentStorage() const { return currentStorage_.Get(); }
    // The storages above the current one, the root first.
    const std::vector<Microsoft::WRL::ComPtr<IStorage>>& parentStack() const {
        return parentStack_;
    }

private:
    Microsoft::WRL::ComPtr<IStorage> currentStorage_;
    std::vector<Microsoft::WRL::ComPtr<IStorage>> parentStack_;  // nearest last
    BOOL isOpen_ = FALSE;
};

// Reads the class identifier recorded for `storage`. FALSE for a null storage
// and for every status other than S_OK; `clsid` is then unspecified.
BOOL ReadStorageClassId(IStorage* storage, CLSID& clsid);

}  // namespace propfile
