// CPropertyFileReader: copies the header values and the control's class
// identifier of an object property file into a control information record.
#pragma once

#include <string>

#include <windows.h>
#include <objidl.h>

#include "propfile/ocx_info.h"

namespace propfile {

class CStorageFile;

class CPropertyFileReader {
public:
    // Reads the file at `path` (ANSI) into the freshly constructed `info`.
    // TRUE when the header values and the class identifier were read. A file
    // that cannot be opened, lacks "Header Section" or "Object Property
    // Section", or refuses a commit gives FALSE; `info` then keeps what was
    // read before. Missing or unreadable values give "", 0 or FALSE.
    BOOL ReadPropertyFile(const std::string& path, COCXInfo& info);

    // The same read through `file`, which must be Closed. The file is kept
    // open for the control's saved state: when the class identifier was
    // reached, `file` is left standing in "Object Property Section" (TRUE
    // then means the identifier was read); otherwise it is Closed again, or,
    // when a commit was refused on the way out, left to its destructor.
    BOOL ReadPropertyFile(const std::string& path, COCXInfo& info, CStorageFile& file);
    // The same read of a property file held in memory (CStorageFile::
    // OpenInMemory): `file` stands on its own copy of `bytes`.
    BOOL ReadPropertyBytes(const std::string& bytes, COCXInfo& info, CStorageFile& file);

    // Reads the class identifier of `storage` into `info.clsid` and its
    // braced text into `info.clsidText`. FALSE leaves `clsid` untouched when
    // the identifier cannot be read, and `clsidText` untouched when it cannot
    // be put into text.
    BOOL ReadControlClass(IStorage* storage, COCXInfo& info);

private:
    // The walk after `open()` (which opens `file` and may throw OleError).
    template <typename Open>
    BOOL ReadOpened(Open open, COCXInfo& info, CStorageFile& file);
};

}  // namespace propfile
