#include "opftool/compound_file_writer.h"

#include <wrl/client.h>

#include "wide_text.h"

using Microsoft::WRL::ComPtr;
using tooltext::Widen;

namespace opftool {

namespace {

constexpr DWORD kCreateMode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

HRESULT WriteStream(IStorage* parent, const std::string& name, const std::string& bytes) {
    ComPtr<IStream> stream;
    HRESULT status = parent->CreateStream(Widen(name).c_str(), kCreateMode, 0, 0, &stream);
    if (FAILED(status) || bytes.empty()) return status;
    ULONG written = 0;
    status = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (SUCCEEDED(status) && written != bytes.size()) status = STG_E_WRITEFAULT;
    return status;
}

HRESULT WriteStorage(IStorage* storage, const StorageNode& node) {
    HRESULT status = node.classId ? ::WriteClassStg(storage, *node.classId) : S_OK;
    for (const auto& [name, bytes] : node.streams) {
        if (SUCCEEDED(status)) status = WriteStream(storage, name, bytes);
    }
    for (const StorageNode& child : node.storages) {
        if (FAILED(status)) break;
        ComPtr<IStorage> childStorage;
        status = storage->CreateStorage(Widen(child.name).c_str(), kCreateMode, 0, 0,
                                        &childStorage);
        if (SUCCEEDED(status)) status = WriteStorage(childStorage.Get(), child);
    }
    return status;
}

}  // namespace

HRESULT WriteCompoundFile(const std::string& path, const StorageNode& root) {
    ComPtr<IStorage> storage;
    HRESULT status = ::StgCreateDocfile(Widen(path).c_str(), kCreateMode, 0, &storage);
    if (SUCCEEDED(status)) status = WriteStorage(storage.Get(), root);
    if (SUCCEEDED(status)) status = storage->Commit(STGC_DEFAULT);
    return status;
}

}  // namespace opftool
