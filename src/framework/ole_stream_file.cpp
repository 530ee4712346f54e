#include "framework/ole_stream_file.h"

namespace fw {

BOOL COleStreamFile::OpenStream(IStorage* storage, const wchar_t* name, DWORD mode,
                                HRESULT* error) {
    Close();
    HRESULT status = storage ? storage->OpenStream(name, nullptr, mode, 0, &stream_)
                             : E_POINTER;
    if (SUCCEEDED(status) && !stream_) status = E_UNEXPECTED;
    if (FAILED(status)) {
        stream_.Reset();
        if (error) *error = status;
        return FALSE;
    }
    return TRUE;
}

UINT COleStreamFile::Read(void* buffer, UINT count) {
    if (!stream_) return 0;
    ULONG read = 0;
    if (FAILED(stream_->Read(buffer, count, &read))) return 0;
    return read < count ? read : count;
}

void COleStreamFile::Close() { stream_.Reset(); }

}  // namespace fw
