// Module-wide state of a test control DLL: its handle and path, the count of
// live objects and server locks (DllCanUnloadNow), the object serials and the
// call log.
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

namespace test_control {

HMODULE ThisModule();
// The DLL's full path, as COM and the type library loader see it.
std::wstring ModulePath();

void ObjectCreated();
void ObjectDestroyed();
void LockServer(bool lock);
bool CanUnload();

// The next object serial: 1, 2, 3, ... per process.
int NextSerial();
// Appends "<serial> <call>" or "<serial> <call> <args>" to the log.
void Log(int serial, std::string_view call, std::string_view args = {});

// UTF-16 to UTF-8 for the log; a null string gives "<null>".
std::string Narrow(const wchar_t* text);
std::string Narrow(const std::wstring& text);

}  // namespace test_control
