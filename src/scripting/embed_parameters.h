// Embed attributes named "param-NAME" set the control's property NAME, the
// value converted from the attribute's text as a script string would be
// (UTF-8 to BSTR; the control coerces it). Only for a control that may be
// scripted; the caller applies them after the saved state is loaded and
// before "Start".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <oaidl.h>

namespace scripting {

inline constexpr char kEmbedParameterPrefix[] = "param-";

// Sets each property named by a "param-" attribute (prefix compared without
// regard to case); a property that does not exist or refuses the value is
// skipped. Returns the names that were set, in attribute order.
std::vector<std::string> ApplyEmbedParameters(IDispatch* control, int16_t count,
                                              const char* const* names, const char* const* values);

}  // namespace scripting
