// Helpers for tests that use the test controls: the call log and
// registration. See test_control_log.h for the log's lines and
// test_controls.h for the variants.
#pragma once

#include <string>
#include <vector>

#include "test_control_state.h"
#include "test_controls.h"
#include "framework/unique_resource.h"

namespace test_controls {

// The log lines of the control DLL at `dllPath`. The DLL is loaded by that
// path, so a DLL that COM already loaded is the same module and its log is
// read; an empty vector when the DLL cannot be loaded.
std::vector<std::string> ReadControlLog(const std::wstring& dllPath);
void ClearControlLog(const std::wstring& dllPath);
// The log's lines with when each was written, in milliseconds of
// QueryPerformanceCounter (the benchmarks' laps).
struct TimedLine {
    double milliseconds;
    std::string line;
};
std::vector<TimedLine> ReadTimedControlLog(const std::wstring& dllPath);

// Registers a control DLL through its DllRegisterServer for the lifetime of
// the object and unregisters it when it goes (also after a failed
// registration, which removes what was written). result() tells whether the
// registration succeeded. The object keeps the DLL loaded, so its log and
// object serials survive COM freeing the library while it lives.
class ScopedControlRegistration {
public:
    explicit ScopedControlRegistration(const std::wstring& dllPath);
    ScopedControlRegistration(const ScopedControlRegistration&) = delete;
    ScopedControlRegistration& operator=(const ScopedControlRegistration&) = delete;
    ~ScopedControlRegistration();
    HRESULT result() const { return result_; }

private:
    fw::UniqueModule module_;
    HRESULT result_ = E_FAIL;
};

// Calls the DLL's DllRegisterServer or DllUnregisterServer.
HRESULT CallRegistrationEntry(const std::wstring& dllPath, const char* entry);

}  // namespace test_controls
