// One small owning type per platform resource. Business code never closes a
// handle, frees a string or releases a variant by hand: it holds one of these.
#pragma once

#include <utility>

#include <windows.h>
#include <lzexpand.h>
#include <oleauto.h>
#include <objbase.h>

namespace fw {

// Owns a value of type T that is released with Close() unless it equals
// Invalid. Move-only.
template <typename T, auto Close, T Invalid = T{}>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    T get() const { return value_; }
    bool valid() const { return value_ != Invalid; }
    explicit operator bool() const { return valid(); }

    // Releases the current value and takes ownership of `value`.
    void reset(T value = Invalid) {
        if (value_ != Invalid) Close(value_);
        value_ = value;
    }
    // Gives up ownership without releasing.
    [[nodiscard]] T release() { return std::exchange(value_, Invalid); }
    // For out-parameters: releases the current value first.
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = Invalid;
};

namespace detail {
inline void CloseKey(HKEY key) { ::RegCloseKey(key); }
inline void FreeLibraryHandle(HMODULE module) { ::FreeLibrary(module); }
inline void CloseLz(INT handle) { ::LZClose(handle); }
inline void FreeBstr(BSTR text) { ::SysFreeString(text); }
inline void FreeTaskMem(LPOLESTR text) { ::CoTaskMemFree(text); }
inline void FreeGlobal(HGLOBAL memory) { ::GlobalFree(memory); }
inline void CloseHandleValue(HANDLE handle) { ::CloseHandle(handle); }
}  // namespace detail

using UniqueHKey = UniqueResource<HKEY, detail::CloseKey>;
using UniqueModule = UniqueResource<HMODULE, detail::FreeLibraryHandle>;
// LZ handles are negative on failure, so any value below zero is empty.
using UniqueLzFile = UniqueResource<INT, detail::CloseLz, INT(-1)>;
using UniqueBstr = UniqueResource<BSTR, detail::FreeBstr>;
using UniqueCoTaskString = UniqueResource<LPOLESTR, detail::FreeTaskMem>;
using UniqueHGlobal = UniqueResource<HGLOBAL, detail::FreeGlobal>;
// Null when empty: a failed CreateFile's INVALID_HANDLE_VALUE is not adopted.
using UniqueHandle = UniqueResource<HANDLE, detail::CloseHandleValue>;
// A kernel handle from CreateFile, whose failure is INVALID_HANDLE_VALUE.
inline UniqueHandle AdoptFileHandle(HANDLE file) {
    return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// A VARIANT that is cleared when it goes. Moving hands the value over and
// leaves VT_EMPTY behind.
class UniqueVariant {
public:
    UniqueVariant() { ::VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : value_(other.value_) {
        ::VariantInit(&other.value_);
    }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&value_);
            value_ = other.value_;
            ::VariantInit(&other.value_);
        }
        return *this;
    }
    ~UniqueVariant() { ::VariantClear(&value_); }
    VARIANT* get() { return &value_; }
    const VARIANT* get() const { return &value_; }
    VARIANT* operator->() { return &value_; }
    const VARIANT* operator->() const { return &value_; }

private:
    VARIANT value_;
};

// The strings an IDispatch::Invoke may leave in its exception record, freed
// when the record goes.
class ScopedExcepInfo {
public:
    ScopedExcepInfo() = default;
    ScopedExcepInfo(const ScopedExcepInfo&) = delete;
    ScopedExcepInfo& operator=(const ScopedExcepInfo&) = delete;
    ~ScopedExcepInfo() {
        ::SysFreeString(value_.bstrSource);
        ::SysFreeString(value_.bstrDescription);
        ::SysFreeString(value_.bstrHelpFile);
    }
    EXCEPINFO* get() { return &value_; }

private:
    EXCEPINFO value_{};
};

// Balances a successful CoInitialize on this thread when it goes.
class ScopedCoInitialize {
public:
    ScopedCoInitialize() : result_(::CoInitialize(nullptr)) {}
    ScopedCoInitialize(const ScopedCoInitialize&) = delete;
    ScopedCoInitialize& operator=(const ScopedCoInitialize&) = delete;
    ~ScopedCoInitialize() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    HRESULT result() const { return result_; }
    bool succeeded() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace fw
