#include "test_control_support.h"

#include <sstream>

namespace test_controls {
namespace {

using ReadLogFunction = int(__stdcall*)(char*, int);
using ClearLogFunction = void(__stdcall*)();
using RegistrationFunction = HRESULT(__stdcall*)();

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(::GetProcAddress(module, name));
}

}  // namespace

std::vector<std::string> ReadControlLog(const std::wstring& dllPath) {
    fw::UniqueModule module(::LoadLibraryW(dllPath.c_str()));
    if (!module) return {};
    auto read = Export<ReadLogFunction>(module.get(), "TestControlReadLog");
    if (!read) return {};
    std::string text(size_t(read(nullptr, 0)), '\0');
    text.resize(size_t(read(text.data(), int(text.size()))) - 1);
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::vector<TimedLine> ReadTimedControlLog(const std::wstring& dllPath) {
    using ReadTimesFunction = int(__stdcall*)(long long*, int);
    const std::vector<std::string> lines = ReadControlLog(dllPath);
    fw::UniqueModule module(::LoadLibraryW(dllPath.c_str()));
    auto read = module ? Export<ReadTimesFunction>(module.get(), "TestControlReadLogTimes") : nullptr;
    if (!read) return {};
    std::vector<long long> times(lines.size());
    if (read(times.data(), int(times.size())) != int(times.size())) return {};
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::vector<TimedLine> timed;
    for (size_t i = 0; i < lines.size(); ++i) {
        timed.push_back({double(times[i]) * 1000.0 / double(frequency.QuadPart), lines[i]});
    }
    return timed;
}

void ClearControlLog(const std::wstring& dllPath) {
    fw::UniqueModule module(::LoadLibraryW(dllPath.c_str()));
    if (!module) return;
    if (auto clear = Export<ClearLogFunction>(module.get(), "TestControlClearLog")) clear();
}

HRESULT CallRegistrationEntry(const std::wstring& dllPath, const char* entry) {
    fw::UniqueModule module(::LoadLibraryW(dllPath.c_str()));
    if (!module) return HRESULT_FROM_WIN32(::GetLastError());
    auto function = Export<RegistrationFunction>(module.get(), entry);
    return function ? function() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

ScopedControlRegistration::ScopedControlRegistration(const std::wstring& dllPath)
    : module_(::LoadLibraryW(dllPath.c_str())) {
    if (!module_) return;
    if (auto reg = Export<RegistrationFunction>(module_.get(), "DllRegisterServer")) result_ = reg();
}

// Unregisters even after a failed registration: it removes what was written.
ScopedControlRegistration::~ScopedControlRegistration() {
    if (!module_) return;
    if (auto unreg = Export<RegistrationFunction>(module_.get(), "DllUnregisterServer")) unreg();
}

}  // namespace test_controls
