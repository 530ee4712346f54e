// The control's saved state in an object property file: "Contents" of
// "Object Property Section" (property_file_layout.h), opened through the
// same storage walk as the header values, so that one open of the file serves
// both the record and the control.
#pragma once

#include <string>

#include "propfile/storage_file.h"

namespace propfile {

// Stands `file` in "Object Property Section" with "Contents" open as its one
// stream. A `file` that already stands in that section (as
// CPropertyFileReader::ReadPropertyFile leaves it) is used as it is; a Closed
// one is opened first on a copy of `bytes`, the property file as read into
// memory (CStorageFile::OpenInMemory). FALSE when the file or the section is
// refused (`file` is then left as it was, or Closed). A missing "Contents" is
// no refusal: the control starts as new.
bool OpenSavedState(CStorageFile& file, const std::string& bytes);

// Leaves every storage `file` still stands in, committing each. The file was
// only read: a commit refused on the way out (as for a read-only file) is
// ignored, and whatever is still held goes when `file` is destroyed. The open
// stream, if any, stays open.
void LeaveSavedState(CStorageFile& file);

}  // namespace propfile
