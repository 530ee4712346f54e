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
// Echoes "0 <call>[ <args>]" for a call to the module itself (not an object);
// such lines are never kept in the log that tests read.
void EchoModuleCall(std::string_view call, std::string_view args = {});

// A control that ends its own page from inside a call, as a hostile or
// careless one may: when the process's environment variable
// TEST_CONTROL_END_PAGE_IN names `place` ("DoVerb", "Start",
// "OnNewControlStateChanged", "OnGetUrlAsFile", "DllRegisterServer",
// "Clicked"), the registered message
// "NptrvTestControlEndPage" is sent to every window of the thread (a test's
// host answers it by destroying the instance). The call then goes on.
void EndPageIfAsked(std::string_view place);

// UTF-16 to UTF-8 for the log; a null string gives "<null>".
std::string Narrow(const wchar_t* text);
std::string Narrow(const std::wstring& text);

}  // namespace test_control
