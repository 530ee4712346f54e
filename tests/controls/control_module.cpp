#include "control_module.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "test_control_log.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace test_control {
namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
std::atomic<int> lastSerial{0};

std::mutex logMutex;
std::vector<std::string>& LogLines() {
    static std::vector<std::string> lines;
    return lines;
}
// When each line was written (QueryPerformanceCounter), for the benchmarks.
std::vector<long long>& LogTimes() {
    static std::vector<long long> times;
    return times;
}

// True when the process asked for the log on its standard output.
bool EchoWanted() {
    static const bool wanted = ::GetEnvironmentVariableW(L"TEST_CONTROL_ECHO_LOG", nullptr, 0) > 0;
    return wanted;
}

// Writes "control <line>" to the process's standard output, if echoing. The
// host flushes its own lines as it writes them, so the two stay in order.
void Echo(const std::string& line) {
    if (!EchoWanted()) return;
    HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
    const std::string text = "control " + line + "\n";
    DWORD written = 0;
    ::WriteFile(output, text.data(), DWORD(text.size()), &written, nullptr);
}

BOOL CALLBACK SendEndPageToChild(HWND window, LPARAM message) {
    ::SendMessageW(window, UINT(message), 0, 0);
    return TRUE;
}

BOOL CALLBACK SendEndPage(HWND window, LPARAM message) {
    ::SendMessageW(window, UINT(message), 0, 0);
    ::EnumChildWindows(window, SendEndPageToChild, message);
    return TRUE;
}

}  // namespace

void EndPageIfAsked(std::string_view place) {
    wchar_t wanted[64] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"TEST_CONTROL_END_PAGE_IN", wanted, 64);
    if (length == 0 || length >= 64 || Narrow(wanted) != place) return;
    const UINT message = ::RegisterWindowMessageW(L"NptrvTestControlEndPage");
    if (message) ::EnumThreadWindows(::GetCurrentThreadId(), SendEndPage, LPARAM(message));
}

HMODULE ThisModule() { return reinterpret_cast<HMODULE>(&__ImageBase); }

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(ThisModule(), path.data(), DWORD(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void ObjectCreated() { ++liveObjects; }
void ObjectDestroyed() { --liveObjects; }
void LockServer(bool lock) { lock ? ++serverLocks : --serverLocks; }
bool CanUnload() { return liveObjects == 0 && serverLocks == 0; }

int NextSerial() { return ++lastSerial; }

void Log(int serial, std::string_view call, std::string_view args) {
    std::string line = std::to_string(serial) + " " + std::string(call);
    if (!args.empty()) line += " " + std::string(args);
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    std::lock_guard lock(logMutex);
    Echo(line);
    LogLines().push_back(std::move(line));
    LogTimes().push_back(now.QuadPart);
}

void EchoModuleCall(std::string_view call, std::string_view args) {
    std::string line = "0 " + std::string(call);
    if (!args.empty()) line += " " + std::string(args);
    std::lock_guard lock(logMutex);
    Echo(line);
}

std::string Narrow(const wchar_t* text) {
    if (!text) return "<null>";
    int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string out(size_t(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.resize(size_t(length - 1));
    return out;
}

std::string Narrow(const std::wstring& text) { return Narrow(text.c_str()); }

}  // namespace test_control

extern "C" int __stdcall TestControlReadLog(char* buffer, int size) {
    std::lock_guard lock(test_control::logMutex);
    std::string joined;
    for (const auto& line : test_control::LogLines()) {
        if (!joined.empty()) joined += '\n';
        joined += line;
    }
    int needed = int(joined.size() + 1);
    if (buffer && size >= needed) std::memcpy(buffer, joined.c_str(), size_t(needed));
    return needed;
}

extern "C" void __stdcall TestControlClearLog() {
    std::lock_guard lock(test_control::logMutex);
    test_control::LogLines().clear();
    test_control::LogTimes().clear();
}

extern "C" int __stdcall TestControlReadLogTimes(long long* times, int count) {
    std::lock_guard lock(test_control::logMutex);
    const auto& kept = test_control::LogTimes();
    for (int i = 0; times && i < count && i < int(kept.size()); ++i) times[i] = kept[size_t(i)];
    return int(kept.size());
}
