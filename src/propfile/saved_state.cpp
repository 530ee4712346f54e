#include "propfile/saved_state.h"

#include "framework/unique_resource.h"
#include "propfile/ansi_text.h"
#include "propfile/ole_error.h"
#include "propfile/property_file_layout.h"

namespace propfile {

namespace {

// Whether `file` stands in a storage named `name` (one level below its root).
bool StandsIn(const CStorageFile& file, const char* name) {
    if (!file.isOpen() || file.parentStack().size() != 1) return false;
    STATSTG status{};
    if (FAILED(file.currentStorage()->Stat(&status, STATFLAG_DEFAULT))) return false;
    const fw::UniqueCoTaskString storageName(status.pwcsName);
    return storageName && WidenAnsi(name) == storageName.get();
}

}  // namespace

bool OpenSavedState(CStorageFile& file, const std::string& bytes) {
    if (!StandsIn(file, kObjectPropertySection)) {
        try {
            if (!file.OpenInMemory(bytes)) return false;
            file.EnterStorage(kObjectPropertySection);
        } catch (const OleError&) {
            LeaveSavedState(file);
            return false;
        }
    }
    file.OpenChildStream(kContentsStream, CStorageFile::kStreamMode);
    return true;
}

void LeaveSavedState(CStorageFile& file) {
    try {
        while (file.LeaveStorage()) {
        }
    } catch (const OleError&) {
    }
}

}  // namespace propfile
