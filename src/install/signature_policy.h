// The administrator's say on unsigned controls: the DWORD value
// "RequireSignedControls" under SOFTWARE\Trevalon\Trevalon, in
// HKEY_LOCAL_MACHINE (either registry view) and then HKEY_CURRENT_USER; the
// first place that holds it decides, and 1 (any value but 0) there means
// only control files signed by a trusted publisher are installed.
#pragma once

namespace install {

inline constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Trevalon\\Trevalon";
inline constexpr wchar_t kRequireSignedControls[] = L"RequireSignedControls";

bool SignedControlsRequired();

}  // namespace install
