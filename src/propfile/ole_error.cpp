#include "propfile/ole_error.h"

#include <cstdio>

namespace propfile {

OleError::OleError(HRESULT status) noexcept : status_(status) {
    std::snprintf(message_, sizeof message_, "OLE error 0x%08lX",
                  static_cast<unsigned long>(status));
}

}  // namespace propfile
