// opf_fuzz: delivers mutated property files to the plug-in through its
// exported entry points, one instance per file, all in this one process, and
// reports what went wrong. scripts/fuzz runs it and resumes it after a crash
// or a hang.
//
//   opf_fuzz --plugin DLL [--count N] [--seed S] [--first K] [--work DIR]
//            [--limit SECONDS]
//
// Output lines (stdout, flushed as they happen):
//   begin <i>               file i is being delivered
//   leak storage <i>        after its instance went, file i could not be
//                           opened exclusively (the plug-in still holds it)
//   leak record <i> <n>     n blocks of browser memory were not given back
//   hang <i>                the delivery of file i took longer than the limit;
//                           the process ends with status 3
//   crash <i> <code> <where>  an exception nobody handled (where: module+offset,
//                           then "  frame <module>+<offset>" lines; or
//                           "terminate" for a C++ exception); status 4
//   done <files>            the run reached its end
// The basic test control is registered for the run, so that files naming it
// create it and load their saved state into it.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <thread>

#include <windows.h>
#include <objbase.h>

#include "browser.h"
#include "framework/unique_resource.h"
#include "mutations.h"
#include "plugin_module.h"
#include "test_control_support.h"
#include "warning_answerer.h"

namespace {

constexpr char kPropertyFileUrl[] = "http://host/fuzz/page.opf";
constexpr std::uint64_t kFilesPerBrowser = 200;  // each instance keeps a window until its browser goes

std::atomic<std::int64_t> currentFile{-1};
std::atomic<DWORD> deliveryStart{0};

void Report(const char* format, std::int64_t index, unsigned long extra = 0) {
    char line[96];
    const int length = std::snprintf(line, sizeof line, format, static_cast<long long>(index), extra);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
}

// " <module>+0x<offset>" of `address`, after `prefix`, as one line.
void ReportWhere(const char* prefix, const void* address) {
    HMODULE module = nullptr;
    char name[MAX_PATH] = "?";
    if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             static_cast<LPCSTR>(address), &module)) {
        ::GetModuleFileNameA(module, name, sizeof name);
    }
    char line[MAX_PATH + 64];
    const int length = std::snprintf(
        line, sizeof line, "%s %s+0x%llx\n", prefix, name,
        static_cast<unsigned long long>(static_cast<const char*>(address) -
                                        reinterpret_cast<const char*>(module)));
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
}

// "crash <i> <code> <where>", then the frames of the stack, one a line.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    Report("crash %lld %08lx", currentFile.load(), record.ExceptionCode);
    ReportWhere("", record.ExceptionAddress);
    void* frames[32] = {};
    const USHORT count = ::RtlCaptureStackBackTrace(0, 32, frames, nullptr);
    for (USHORT i = 0; i < count; ++i) ReportWhere("  frame", frames[i]);
    ::TerminateProcess(::GetCurrentProcess(), 4);
    return EXCEPTION_EXECUTE_HANDLER;
}

void OnTerminate() {
    Report("crash %lld %08lx terminate\n", currentFile.load(), 0xE06D7363);  // a C++ exception
    ::TerminateProcess(::GetCurrentProcess(), 4);
}

// Ends the process when one delivery runs longer than `limitMs`.
void Watch(DWORD limitMs) {
    for (;;) {
        ::Sleep(100);
        const std::int64_t file = currentFile.load();
        if (file >= 0 && ::GetTickCount() - deliveryStart.load() > limitMs) {
            Report("hang %lld\n", file);
            ::TerminateProcess(::GetCurrentProcess(), 3);
        }
    }
}

// Whether the file can be had for exclusive writing: nobody holds it open.
bool OpenExclusively(const std::string& path) {
    const fw::UniqueHandle file = fw::AdoptFileHandle(::CreateFileA(
        path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.valid();
}

struct Options {
    std::wstring plugin;
    std::uint64_t count = 10000;
    std::uint64_t seed = 20261209;
    std::uint64_t first = 0;
    std::string work = ".";
    DWORD limitMs = 10000;
};

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--plugin") options.plugin = Wide(value);
        else if (name == "--count") options.count = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--seed") options.seed = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--first") options.first = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--work") options.work = value;
        else if (name == "--limit") options.limitMs = static_cast<DWORD>(std::atof(value.c_str()) * 1000);
        else return false;
    }
    return !options.plugin.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: opf_fuzz --plugin DLL [--count N] [--seed S] [--first K] "
                     "[--work DIR] [--limit SECONDS]\n");
        return 2;
    }
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(&OnUnhandledException);
    std::set_terminate(&OnTerminate);
    const fw::ScopedCoInitialize com;

    const auto& control = test_controls::Info(test_controls::Variant::basic);
    const fuzz::Corpus corpus{control.clsid, control.productVersion};
    if (FAILED(test_controls::CallRegistrationEntry(control.dllPath, "DllRegisterServer"))) {
        std::fprintf(stderr, "opf_fuzz: the control does not register itself\n");
        return 2;
    }
    nphost::PluginModule module(options.plugin);
    if (!module.valid()) {
        std::fprintf(stderr, "opf_fuzz: cannot load the plug-in\n");
        return 2;
    }
    std::thread(Watch, options.limitMs).detach();

    std::optional<nphost::Browser> browser;
    std::optional<nphost::WarningAnswerer> answerer;
    answerer.emplace(nphost::WarningAnswer::No, nullptr);
    std::uint64_t sinceBrowser = kFilesPerBrowser;
    for (std::uint64_t index = options.first; index < options.count; ++index) {
        if (sinceBrowser++ == kFilesPerBrowser) {
            browser.reset();
            browser.emplace(module);
            if (browser->Initialize() != NPERR_NO_ERROR) {
                std::fprintf(stderr, "opf_fuzz: the plug-in refuses to start\n");
                return 2;
            }
            sinceBrowser = 1;
        }
        const std::string path = options.work + "\\fuzz" + std::to_string(index) + ".opf";
        fuzz::WriteMutatedFile(corpus, options.seed, index, path);
        Report("begin %lld\n", static_cast<std::int64_t>(index));
        deliveryStart = ::GetTickCount();
        currentFile = static_cast<std::int64_t>(index);

        const int blocksBefore = browser->liveAllocations();
        nphost::Instance& instance = browser->NewInstance();
        instance.New({});
        instance.SetWindow();
        instance.Deliver(kPropertyFileUrl, path);
        browser->RunPending();
        instance.Destroy();
        browser->ClearLog();

        currentFile = -1;
        if (const int leaked = browser->liveAllocations() - blocksBefore; leaked != 0) {
            Report("leak record %lld %lu\n", static_cast<std::int64_t>(index),
                   static_cast<unsigned long>(leaked));
        }
        if (!OpenExclusively(path)) Report("leak storage %lld\n", static_cast<std::int64_t>(index));
        ::DeleteFileA(path.c_str());
    }
    browser.reset();
    answerer.reset();
    test_controls::CallRegistrationEntry(control.dllPath, "DllUnregisterServer");
    Report("done %lld\n", static_cast<std::int64_t>(options.count - options.first));
    return 0;
}
