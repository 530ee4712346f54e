// Calls into the hosted control by method name.
#include <vector>

#include <wrl/client.h>

#include "framework/adopt_com_ptr.h"
#include "framework/unique_resource.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "propfile/ansi_text.h"
#include "propfile/ocx_info.h"

using Microsoft::WRL::ComPtr;

namespace {

// An automation string from 8-bit text of the ANSI code page; a null text gives
// the null BSTR (the empty automation string).
BSTR AllocAnsiString(const char* text) {
    if (!text) return nullptr;
    const std::wstring wide = propfile::WidenAnsi(text);
    return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace

// Takes ownership of the strings among `values`: they are freed on every path.
bool ControlWindow::InvokeByName(const std::string& name, const VARTYPE* types,
                                 const VARIANT* values, unsigned count) {
    // Automation order: the last parameter goes in the first slot.
    std::vector<fw::UniqueVariant> arguments(count);
    for (unsigned i = 0; i < count; ++i) {
        VARIANT* argument = arguments[count - 1 - i].get();
        argument->vt = types[i];
        switch (types[i]) {
        case VT_BSTR: argument->bstrVal = values[i].bstrVal; break;
        case VT_I2: argument->iVal = values[i].iVal; break;
        default: argument->lVal = values[i].lVal; break;
        }
    }

    const MemberEntry* member = info ? info->FindMember(name) : nullptr;
    if (!member) return false;
    const ComPtr<IDispatch> dispatch =
        fw::AdoptComPtr(static_cast<IDispatch*>(info->QueryControlInterface(IID_IDispatch)));
    if (!dispatch) return true;

    std::vector<VARIANT> slots(count);
    for (unsigned i = 0; i < count; ++i) slots[i] = *arguments[i].get();
    DISPPARAMS params = {count ? slots.data() : nullptr, nullptr, count, 0};
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    // A failing call is the control's business: nothing reaches the browser.
    dispatch->Invoke(member->dispid, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &exception,
                     &argumentError);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return true;
}

bool ControlWindow::InvokeStart() { return InvokeByName("Start", nullptr, nullptr, 0); }

bool ControlWindow::InvokeStop() { return InvokeByName("Stop", nullptr, nullptr, 0); }

bool ControlWindow::InvokeOnGetUrlAsFile(const std::string& localFile, int32_t requestId) {
    const VARTYPE types[] = {VT_BSTR, VT_BSTR, VT_I4, VT_I2};
    VARIANT values[4] = {};
    values[0].bstrVal = AllocAnsiString(localFile.c_str());
    values[1].bstrVal = nullptr;
    values[2].lVal = requestId;
    values[3].iVal = 0;
    return InvokeByName("OnGetUrlAsFile", types, values, 4);
}

bool ControlWindow::InvokeOnNewControlStateChanged(const std::string& classIdText, int16_t state) {
    const VARTYPE types[] = {VT_BSTR, VT_I2};
    VARIANT values[2] = {};
    values[0].bstrVal = AllocAnsiString(classIdText.c_str());
    values[1].iVal = state;
    return InvokeByName("OnNewControlStateChanged", types, values, 2);
}

void ControlWindow::StopControl() {
    if (!started) return;
    InvokeStop();
    ThePluginApp().startedControls.remove(this);
    ThePluginApp().NotifyStateChanged(this, 1);
}
