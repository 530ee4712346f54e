// COleStreamFile: a file whose data is one OLE stream. It holds at most one
// open stream; Read reads from it and Close releases it.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include "framework/cmd_target.h"

namespace fw {

class COleStreamFile : public CObject {
public:
    COleStreamFile() = default;
    // Releases the stream if one is still open.
    ~COleStreamFile() override = default;

    // Opens the stream `name` of `storage` with the storage mode `mode`,
    // replacing any stream still open. Any success status gives TRUE; an
    // error status gives FALSE, no stream, and the status in `*error` when
    // `error` is given.
    BOOL OpenStream(IStorage* storage, const wchar_t* name, DWORD mode, HRESULT* error = nullptr);

    // Reads up to `count` bytes from the open stream and returns how many were
    // read (fewer when the stream ends first). No open stream, or an error
    // status from the stream, counts as 0 bytes read.
    UINT Read(void* buffer, UINT count);

    // Releases the open stream, if any.
    void Close();

    // The open stream, borrowed (no reference for the caller); null when none.
    IStream* GetStream() const { return stream_.Get(); }

private:
    Microsoft::WRL::ComPtr<IStream> stream_;
};

}  // namespace fw
