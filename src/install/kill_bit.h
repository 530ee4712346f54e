// The ActiveX kill-bit: a class that the machine's administrator (or a
// security update) has marked as never to be instantiated by a browser host.
#pragma once

#include <windows.h>

// Flag 0x400 of the DWORD value "Compatibility Flags" under
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\ActiveX
// Compatibility\{class id}. A killed class is never created, offered for
// download or installed. Read in the registry view of this process, the one
// its class registrations are read in (the 32-bit view for the 32-bit
// plug-in). A missing key or value, or one of another type, is no kill-bit.
// The class counts as killed when it or any class it is treated as
// (fw::TreatAsChain: the one the platform would really create) is killed.
namespace install {

bool IsClassKilled(const CLSID& clsid);

}  // namespace install
