#include "propfile/storage_file.h"

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

BOOL CStorageFile::Open(const std::string& path) {
    if (isOpen_ || currentStorage_) return FALSE;
    // A damaged file can send the platform's storage code into an endless loop.
    if (!propfile::FileHasSoundCompoundStructure(path)) throw OleError(STG_E_DOCFILECORRUPT);
    const std::wstring widePath = WidenAnsi(path);
    ComPtr<IStorage> root;
    HRESULT status = ::StgOpenStorage(widePath.c_str(), nullptr, kReadWriteStorageMode, nullptr,
                                      0, &root);
    if (status != S_OK) {
        root.Reset();
        status = ::StgOpenStorage(widePath.c_str(), nullptr, kReadOnlyStorageMode, nullptr, 0,
                                  &root);
    }
    if (status != S_OK || !root) throw OleError(status != S_OK ? status : E_UNEXPECTED);
    currentStorage_ = std::move(root);
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
