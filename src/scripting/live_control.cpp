// Calls into the hosted control by method name, and its request events.
#include "scripting/live_control.h"

#include <utility>

#include "propfile/ansi_text.h"

using Microsoft::WRL::ComPtr;

namespace scripting {

namespace {

// The request event's URL fits this buffer, its zero byte included.
constexpr int kUrlBufferSize = 256;

// An argument holding an automation string made from 8-bit text of the ANSI
// code page; a null text gives the null BSTR (the empty automation string).
fw::UniqueVariant AnsiStringArgument(const char* text) {
    fw::UniqueVariant argument;
    argument->vt = VT_BSTR;
    if (text) {
        const std::wstring wide = propfile::WidenAnsi(text);
        argument->bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    return argument;
}

fw::UniqueVariant IntegerArgument(VARTYPE type, int32_t value) {
    fw::UniqueVariant argument;
    argument->vt = type;
    if (type == VT_I2) {
        argument->iVal = static_cast<SHORT>(value);
    } else {
        argument->lVal = value;
    }
    return argument;
}

// The URL of a request event in the ANSI code page; nothing when it does not
// fit the buffer. A null string is the empty URL (the property file's own
// directory).
std::optional<std::string> NarrowRequestUrl(BSTR url) {
    if (!url || !*url) return std::string();
    char buffer[kUrlBufferSize];
    const int written =
        ::WideCharToMultiByte(CP_ACP, 0, url, -1, buffer, kUrlBufferSize, nullptr, nullptr);
    if (written <= 0) return std::nullopt;  // too long (or not convertible): refused
    return std::string(buffer);
}

}  // namespace

bool LiveControl::InvokeByName(const std::string& name, std::vector<fw::UniqueVariant> arguments) {
    const MemberEntry* member = FindMember(name);
    if (!member) return false;
    const ComPtr<IDispatch> dispatch = QueryControlInterface<IDispatch>(IID_IDispatch);
    if (!dispatch) return true;

    // Automation order: the last parameter goes in the first slot. The slots
    // borrow the arguments' values, which stay owned by `arguments`.
    const UINT count = static_cast<UINT>(arguments.size());
    std::vector<VARIANT> slots(count);
    for (UINT i = 0; i < count; ++i) slots[count - 1 - i] = *arguments[i].get();
    DISPPARAMS params = {count ? slots.data() : nullptr, nullptr, count, 0};
    fw::ScopedExcepInfo exception;
    UINT argumentError = 0;
    // A failing call is the control's business: nothing reaches the browser.
    dispatch->Invoke(member->dispid, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                     exception.get(), &argumentError);
    return true;
}

bool LiveControl::Start() { return InvokeByName("Start", {}); }

bool LiveControl::Stop() { return InvokeByName("Stop", {}); }

bool LiveControl::OnGetUrlAsFile(const std::string& localFile, int32_t requestId) {
    std::vector<fw::UniqueVariant> arguments;
    arguments.push_back(AnsiStringArgument(localFile.c_str()));
    arguments.push_back(AnsiStringArgument(nullptr));
    arguments.push_back(IntegerArgument(VT_I4, requestId));
    arguments.push_back(IntegerArgument(VT_I2, 0));
    return InvokeByName("OnGetUrlAsFile", std::move(arguments));
}

bool LiveControl::OnNewControlStateChanged(const std::string& classIdText, int16_t state) {
    std::vector<fw::UniqueVariant> arguments;
    arguments.push_back(AnsiStringArgument(classIdText.c_str()));
    arguments.push_back(IntegerArgument(VT_I2, state));
    return InvokeByName("OnNewControlStateChanged", std::move(arguments));
}

std::optional<FileRequestEvent> LiveControl::FileRequestOf(DISPID id, const DISPPARAMS* params) {
    if (eventDispid == kNoEventDispid || id != eventDispid || !params || params->cArgs < 2) {
        return std::nullopt;
    }
    CopyEventArgs(params);
    // Automation order: the first argument is in the second slot.
    if (eventArgs_.size() < 2 || eventArgs_[1]->vt != VT_BSTR) return std::nullopt;
    return FileRequestEvent{NarrowRequestUrl(eventArgs_[1]->bstrVal), eventArgs_[0]->lVal};
}

}  // namespace scripting
