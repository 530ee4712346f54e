// What makes this DLL one variant of the test control: CMake compiles the same
// sources once per variant with TC_VARIANT_NUMBER (the last byte of every
// identifier), TC_VARIANT_NAME and the variant's switches.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleidl.h>

namespace test_control {

// Identifiers: {7E1C0A0k-5B3D-4C2E-9A71-3F60D2B8C1nn}, k = 0 class, 1 library,
// 2 dispatch interface, 3 event interface; nn = the variant number.
constexpr GUID MakeGuid(unsigned long kind) {
    return GUID{0x7E1C0A00UL + kind, 0x5B3D, 0x4C2E,
                {0x9A, 0x71, 0x3F, 0x60, 0xD2, 0xB8, 0xC1, TC_VARIANT_NUMBER}};
}
inline constexpr GUID kClassId = MakeGuid(0);
inline constexpr GUID kLibraryId = MakeGuid(1);
inline constexpr GUID kDispatchIid = MakeGuid(2);
inline constexpr GUID kEventsIid = MakeGuid(3);

inline constexpr const wchar_t* kVariantName = TC_VARIANT_NAME;

#ifdef TC_CREATION_FAILS
inline constexpr bool kCreationFails = true;
#else
inline constexpr bool kCreationFails = false;
#endif
#ifdef TC_NO_TYPEINFO
inline constexpr bool kHidesTypeInfo = true;
#else
inline constexpr bool kHidesTypeInfo = false;
#endif
#ifdef TC_SAFE_FOR_SCRIPTING
inline constexpr bool kSafeForScripting = true;
#else
inline constexpr bool kSafeForScripting = false;
#endif
#ifdef TC_NOT_SAFE_FOR_INIT
inline constexpr bool kSafeForInitializing = false;
#else
inline constexpr bool kSafeForInitializing = true;
#endif
#ifdef TC_KEEPS_SITE
inline constexpr bool kKeepsSite = true;
#else
inline constexpr bool kKeepsSite = false;
#endif
#ifdef TC_FAILING_INVOKE
inline constexpr bool kInvokeFails = true;
#else
inline constexpr bool kInvokeFails = false;
#endif

inline constexpr DWORD kMiscStatusBase = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_RECOMPOSEONRESIZE |
                                         OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT;
#ifdef TC_NO_CLIENT_SITE_FIRST
inline constexpr DWORD kMiscStatus = kMiscStatusBase;
#else
inline constexpr DWORD kMiscStatus = kMiscStatusBase | OLEMISC_SETCLIENTSITEFIRST;
#endif

// Dispatch identifiers, as declared in test_control.idl.
namespace dispid {
inline constexpr DISPID kCaption = 1;
inline constexpr DISPID kStartProperty = 2;
inline constexpr DISPID kStart = 10;
inline constexpr DISPID kStop = 11;
inline constexpr DISPID kOnGetUrlAsFile = 12;
inline constexpr DISPID kOnNewControlStateChanged = 13;
inline constexpr DISPID kFireRequest = 14;
inline constexpr DISPID kFireRequestArgs = 15;
inline constexpr DISPID kFireOther = 16;
inline constexpr DISPID kFireReadFile = 17;
inline constexpr DISPID kLongName = 18;
inline constexpr DISPID kEcho = 19;  // safe_for_scripting only
inline constexpr DISPID kCallKeptObjects = 20;
// Events.
inline constexpr DISPID kRequestEvent = 1;  // "GetUrlAsFile", or "ReadFile" in read_file
inline constexpr DISPID kClickedEvent = 2;
inline constexpr DISPID kReadFileEvent = 3;  // both_events only
}  // namespace dispid

#ifdef TC_READ_FILE_EVENT
inline constexpr const char* kRequestEventName = "ReadFile";
#else
inline constexpr const char* kRequestEventName = "GetUrlAsFile";
#endif

}  // namespace test_control
