// A script object handed to the control: an IDispatch whose calls go back to
// the script through the browser. Names get DISPIDs in the order asked
// (GetIDsOfNames accepts any name: a script object's members are not known
// in advance); DISPID_VALUE calls the object itself. Once disconnected (the
// session closed), it has let go of the script object and answers
// E_UNEXPECTED.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <oaidl.h>
#include <wrl/client.h>

#include "framework/module_objects.h"
#include "scripting/browser_calls.h"

namespace scripting {

class ScriptDispatch final : public IDispatch {
public:
    // The IDispatch for `object` (one reference of its own on it).
    static Microsoft::WRL::ComPtr<IDispatch> Create(const std::shared_ptr<ScriptSession>& session,
                                                    NPObject* object);
    // The script object behind `dispatch` if it is one of these, else null.
    static NPObject* ObjectOf(IDispatch* dispatch);
    void Disconnect();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    explicit ScriptDispatch(std::shared_ptr<ScriptSession> session);
    ~ScriptDispatch();

    const fw::ModuleObject counted_;
    LONG references_ = 1;
    std::shared_ptr<ScriptSession> session_;
    NPObject* object_ = nullptr;  // one reference while connected
    std::vector<std::string> names_;  // DISPID n is names_[n - 1]
};

}  // namespace scripting
