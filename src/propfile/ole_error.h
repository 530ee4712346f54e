// OleError: a refusal of the structured storage, raised with its status code
// by the storage walk (CStorageFile) and caught by the code that drives it.
#pragma once

#include <exception>

#include <windows.h>

namespace propfile {

class OleError : public std::exception {
public:
    explicit OleError(HRESULT status) noexcept;
    HRESULT status() const noexcept { return status_; }
    // "OLE error 0x........" with the status in hexadecimal.
    const char* what() const noexcept override { return message_; }

private:
    HRESULT status_;
    char message_[32];
};

}  // namespace propfile
