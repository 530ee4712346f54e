#include "scripting/embed_parameters.h"

#include <cstring>

#include "framework/unique_resource.h"
#include "scripting/variant_conversion.h"

namespace scripting {
namespace {

bool SetProperty(IDispatch* control, const char* name, const char* text) {
    fw::UniqueBstr wideName = BstrFromUtf8(name, static_cast<uint32_t>(std::strlen(name)));
    fw::UniqueVariant value;
    value->bstrVal = BstrFromUtf8(text, static_cast<uint32_t>(std::strlen(text))).release();
    if (!wideName || !value->bstrVal) return false;
    value->vt = VT_BSTR;
    LPOLESTR names[] = {wideName.get()};
    DISPID dispid = DISPID_UNKNOWN;
    if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid))) return false;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {value.get(), &putId, 1, 1};
    EXCEPINFO exception = {};
    const HRESULT hr = control->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                      &params, nullptr, &exception, nullptr);
    const fw::UniqueBstr source(exception.bstrSource);
    const fw::UniqueBstr description(exception.bstrDescription);
    const fw::UniqueBstr helpFile(exception.bstrHelpFile);
    return SUCCEEDED(hr);
}

}  // namespace

std::vector<std::string> ApplyEmbedParameters(IDispatch* control, int16_t count,
                                              const char* const* names, const char* const* values) {
    std::vector<std::string> set;
    const std::size_t prefix = std::strlen(kEmbedParameterPrefix);
    for (int16_t i = 0; control && names && values && i < count; ++i) {
        if (!names[i] || !values[i] || std::strlen(names[i]) <= prefix ||
            _strnicmp(names[i], kEmbedParameterPrefix, prefix) != 0) {
            continue;
        }
        if (SetProperty(control, names[i] + prefix, values[i])) set.emplace_back(names[i] + prefix);
    }
    return set;
}

}  // namespace scripting
