#include "propfile/storage_file.h"

#include <cstring>

#include "framework/unique_resource.h"

#include "propfile/ansi_text.h"
#include "propfile/compound_file_check.h"
#include "propfile/ole_error.h"

using Microsoft::WRL::ComPtr;
using propfile::OleError;
using propfile::WidenAnsi;

namespace propfile {

CStorageFile::~CStorageFile() {
    // The stream first, then the storages from the innermost up to the root.
    Close();
    currentStorage_.Reset();
    while (!parentStack_.empty()) parentStack_.pop_back();
}

namespace {

// The root storage through `open(mode, root)`: read-write, else read-only.
template <typename OpenRoot>
ComPtr<IStorage> OpenRootStorage(OpenRoot open) {
    ComPtr<IStorage> root;
    HRESULT status = open(CStorageFile::kReadWriteStorageMode, root.ReleaseAndGetAddressOf());
    if (status != S_OK) status = open(CStorageFile::kReadOnlyStorageMode, root.ReleaseAndGetAddressOf());
    if (status != S_OK || !root) throw OleError(status != S_OK ? status : E_UNEXPECTED);
    return root;
}

// A movable memory block holding a copy of `bytes` (at least one byte).
fw::UniqueHGlobal CopyToGlobal(const std::string& bytes) {
    fw::UniqueHGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size()));
    if (!memory) throw OleError(E_OUTOFMEMORY);
    void* data = ::GlobalLock(memory.get());
    if (!data) throw OleError(E_OUTOFMEMORY);
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    ::GlobalUnlock(memory.get());
    return memory;
}

}  // namespace

BOOL CStorageFile::Open(const std::string& path) {
    if (isOpen_ || currentStorage_) return FALSE;
    // A damaged file can send the platform's storage code into an endless loop.
    if (!propfile::FileHasSoundCompoundStructure(path)) throw OleError(STG_E_DOCFILECORRUPT);
    const std::wstring widePath = WidenAnsi(path);
    currentStorage_ = OpenRootStorage([&](DWORD mode, IStorage** root) {
        return ::StgOpenStorage(widePath.c_str(), nullptr, mode, nullptr, 0, root);
    });
    isOpen_ = TRUE;
    return TRUE;
}

BOOL CStorageFile::OpenInMemory(const std::string& bytes) {
    if (isOpen_ || currentStorage_) return FALSE;
    if (!propfile::HasSoundCompoundStructure(bytes)) throw OleError(STG_E_DOCFILECORRUPT);
    fw::UniqueHGlobal memory = CopyToGlobal(bytes);
    ComPtr<ILockBytes> lockBytes;
    // From here the lock bytes own the block and free it when they go.
    if (FAILED(::CreateILockBytesOnHGlobal(memory.get(), TRUE, &lockBytes)) || !lockBytes) {
        throw OleError(E_OUTOFMEMORY);
    }
    static_cast<void>(memory.release());
    // The block is larger than the file when GlobalAlloc rounds up: the
    // lock bytes must say the file's own size.
    ULARGE_INTEGER size{};
    size.QuadPart = bytes.size();
    if (FAILED(lockBytes->SetSize(size))) throw OleError(E_OUTOFMEMORY);
    currentStorage_ = OpenRootStorage([&](DWORD mode, IStorage** root) {
        return ::StgOpenStorageOnILockBytes(lockBytes.Get(), nullptr, mode, nullptr, 0, root);
    });
    isOpen_ = TRUE;
    return TRUE;
}

void CStorageFile::EnterStorage(const std::string& name) {
    if (!currentStorage_) throw OleError(E_UNEXPECTED);
    ComPtr<IStorage> child;
    const HRESULT status = currentStorage_->OpenStorage(WidenAnsi(name).c_str(), nullptr,
                                                        kReadWriteStorageMode, nullptr, 0,
                                                        &child);
    if (status != S_OK || !child) throw OleError(status != S_OK ? status : E_UNEXPECTED);
    parentStack_.reserve(parentStack_.size() + 1);  // the push below cannot throw
    parentStack_.push_back(std::move(currentStorage_));
    currentStorage_ = std::move(child);
}

BOOL CStorageFile::LeaveStorage() {
    if (!currentStorage_) return FALSE;
    const HRESULT status = currentStorage_->Commit(STGC_ONLYIFCURRENT);
    if (status != S_OK) throw OleError(status);
    currentStorage_.Reset();
    if (parentStack_.empty()) {
        isOpen_ = FALSE;
    } else {
        currentStorage_ = std::move(parentStack_.back());
        parentStack_.pop_back();
    }
    return TRUE;
}

BOOL CStorageFile::OpenChildStream(const std::string& name, DWORD mode, HRESULT* error) {
    if (!isOpen_) return FALSE;
    return OpenStream(currentStorage_.Get(), WidenAnsi(name).c_str(), mode, error);
}

UINT CStorageFile::ReadValue(const std::string& name, BYTE* buffer, UINT max) {
    if (!OpenChildStream(name, kStreamMode)) return 0;
    const UINT count = Read(buffer, max);
    Close();
    return count;
}

BOOL ReadStorageClassId(IStorage* storage, CLSID& clsid) {
    if (!storage) return FALSE;
    return ::ReadClassStg(storage, &clsid) == S_OK ? TRUE : FALSE;
}

}  // namespace propfile
