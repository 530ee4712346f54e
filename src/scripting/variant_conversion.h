// Values between page scripts and the control's automation: void/null,
// booleans, 32-bit integers, doubles, strings (UTF-8 <-> BSTR), dates (as the
// automation date's double) and objects (a control's IDispatch becomes a
// DispatchObject for the script; a script object becomes a ScriptDispatch for
// the control; each unwraps back to what it wraps).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <oaidl.h>

#include "framework/unique_resource.h"
#include "scripting/browser_calls.h"

namespace scripting {

// Strings longer than this (UTF-8 bytes, or UTF-16 units) do not cross.
inline constexpr uint32_t kMaxStringLength = 1u << 20;

// UTF-8 <-> UTF-16. A null BSTR is the empty string. Invalid UTF-8 becomes
// U+FFFD. Empty optional-like results: an empty UniqueBstr when `length` is too
// long or memory runs out (an empty input gives an allocated empty BSTR).
fw::UniqueBstr BstrFromUtf8(const char* text, uint32_t length);
bool Utf8FromWide(const wchar_t* text, std::size_t length, std::string& out);

// A VARIANT for a script value, written into the out value `to` (as an
// automation result is: what it held is overwritten, never freed, so give it
// empty); the caller owns the result.
// E_INVALIDARG for a string too long, E_OUTOFMEMORY.
HRESULT ToVariant(const std::shared_ptr<ScriptSession>& session, const NPVariant& from,
                  VARIANT* to);

// A script value for a VARIANT (by-reference values are read through), owned
// by the caller: release it with the browser's ReleaseVariantValue. False,
// with `to` void, for what cannot cross (arrays, records, too long a string,
// no memory, a closed session for objects).
bool FromVariant(const std::shared_ptr<ScriptSession>& session, const VARIANT& from,
                 NPVariant& to);

// Owns a script value handed back by the browser or made by FromVariant.
class UniqueNPVariant {
public:
    explicit UniqueNPVariant(std::shared_ptr<ScriptSession> session) : session_(std::move(session)) {
        VOID_TO_NPVARIANT(value_);
    }
    UniqueNPVariant(const UniqueNPVariant&) = delete;
    UniqueNPVariant& operator=(const UniqueNPVariant&) = delete;
    UniqueNPVariant(UniqueNPVariant&& other) noexcept : session_(other.session_), value_(other.value_) {
        VOID_TO_NPVARIANT(other.value_);
    }
    ~UniqueNPVariant() { reset(); }
    // Gives the value back, also after the session closed.
    void reset() {
        if (session_) session_->ReleaseValue(&value_);
        VOID_TO_NPVARIANT(value_);
    }
    NPVariant* get() { return &value_; }
    const NPVariant& operator*() const { return value_; }

private:
    std::shared_ptr<ScriptSession> session_;
    NPVariant value_;
};

}  // namespace scripting
