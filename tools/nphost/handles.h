// Owning wrappers for the platform handles the host itself uses. Move-only;
// each releases its handle when it goes.
#pragma once

#include <utility>

#include <windows.h>
#include <wininet.h>

namespace nphost {

template <typename T, auto Close>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.value_, T{}));
        return *this;
    }
    ~UniqueHandle() { reset(); }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != T{}; }
    void reset(T value = T{}) {
        if (value_ != T{}) Close(value_);
        value_ = value;
    }

private:
    T value_{};
};

namespace detail {
inline void CloseInternet(HINTERNET handle) { ::InternetCloseHandle(handle); }
inline void CloseFile(HANDLE handle) {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
}
inline void DeleteMemoryDc(HDC dc) { ::DeleteDC(dc); }
inline void DeleteGdiObject(HGDIOBJ object) { ::DeleteObject(object); }
inline void CloseKey(HKEY key) { ::RegCloseKey(key); }
}  // namespace detail

using UniqueInternet = UniqueHandle<HINTERNET, detail::CloseInternet>;
using UniqueMemoryDc = UniqueHandle<HDC, detail::DeleteMemoryDc>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, detail::DeleteGdiObject>;
using UniqueKey = UniqueHandle<HKEY, detail::CloseKey>;

// A file handle; CreateFile's INVALID_HANDLE_VALUE counts as empty.
class UniqueFile {
public:
    explicit UniqueFile(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    ~UniqueFile() {
        if (handle_) ::CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_;
};

// A FindFirstFile search; INVALID_HANDLE_VALUE counts as empty.
class UniqueFindHandle {
public:
    explicit UniqueFindHandle(HANDLE handle) : handle_(handle) {}
    UniqueFindHandle(const UniqueFindHandle&) = delete;
    UniqueFindHandle& operator=(const UniqueFindHandle&) = delete;
    ~UniqueFindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) ::FindClose(handle_);
    }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

}  // namespace nphost
