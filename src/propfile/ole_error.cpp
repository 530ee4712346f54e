#include "propfile/ole_error.h"

#include <windows.h>

namespace propfile {

OleError::OleError(HRESULT status) noexcept : status_(status) {
    // The platform's formatting: the C library's would bring its whole
    // printf machinery into the DLL. The text always fits.
    ::wsprintfA(message_, "OLE error 0x%08lX", static_cast<unsigned long>(status));
}

}  // namespace propfile
