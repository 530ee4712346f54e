// A structural check of compound files, run before the platform's storage
// code sees them: that code can loop forever on a damaged file (a sector
// chain or a directory tree that runs in a circle, or that points past the
// end of the file), and a property file may be damaged or hostile.
#pragma once

#include <string>

namespace propfile {

// FALSE when `bytes` carry the compound-file signature but their sector
// chains or directory tree are circular or point outside the file. Anything
// else, including data that is no compound file at all, is left to the
// platform to judge and gives TRUE.
bool HasSoundCompoundStructure(const std::string& bytes);

// The check above on the file at `path` (ANSI); TRUE when it cannot be read.
bool FileHasSoundCompoundStructure(const std::string& path);

}  // namespace propfile
