// Every control the platform registered itself (a class with a "Control" key
// and an in-process server, not killed), hosted in a page from a property
// file that opftool made for it with an empty saved state. Each control runs
// in a child process of this program with a bounded wait, so that a control
// that crashes or hangs is reported as such instead of ending the suite; in
// the child it must come up created, in place and drawn (or be refused with
// an error outcome), be scriptable exactly when it says it is safe, and go
// away stopped and torn down, three times with flat handle counts.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <objsafe.h>

#include "framework/class_id_text.h"
#include "framework/ole_control_site.h"
#include "framework/unique_resource.h"
#include "host_fixture.h"
#include "install/kill_bit.h"
#include "npruntime_host.h"
#include "opftool/commands.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_window.h"
#include "screenshot.h"

using Microsoft::WRL::ComPtr;
using namespace plugin;  // the plug-in's own classes under test

namespace {

constexpr wchar_t kClassVariable[] = L"NPTRV_HOSTED_CLASS";
constexpr wchar_t kFileVariable[] = L"NPTRV_HOSTED_FILE";
constexpr DWORD kChildTimeoutMs = 60000;
constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr int kCycles = 3;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

std::wstring KeyText(HKEY root, const std::wstring& path) {
    wchar_t text[MAX_PATH] = {};
    DWORD bytes = sizeof text - sizeof(wchar_t);
    if (::RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                       &bytes) != ERROR_SUCCESS) {
        return {};
    }
    return text;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

struct PlatformControl {
    CLSID clsid{};
    std::wstring clsidText;
    std::wstring server;
};

// Our own test controls live in the build tree and have suites of their own.
bool IsOurs(const std::wstring& server) {
    const std::wstring tree = Widen(NPTRV_TREE_DIR);
    return _wcsnicmp(server.c_str(), tree.c_str(), tree.size()) == 0;
}

std::vector<PlatformControl> FindPlatformControls() {
    std::vector<PlatformControl> found;
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &raw) != ERROR_SUCCESS) return found;
    const fw::UniqueHKey classes(raw);
    wchar_t name[64];
    for (DWORD index = 0;; ++index) {
        DWORD length = 64;
        const LONG status = ::RegEnumKeyExW(classes.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        PlatformControl control;
        if (FAILED(::CLSIDFromString(name, &control.clsid))) continue;
        control.clsidText = name;
        if (!KeyExists(classes.get(), control.clsidText + L"\\Control")) continue;
        control.server = KeyText(classes.get(), control.clsidText + L"\\InprocServer32");
        if (control.server.empty() || IsOurs(control.server) || install::IsClassKilled(control.clsid)) continue;
        found.push_back(control);
    }
    return found;
}

std::string TempPath(const std::string& name) {
    char directory[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + "platform-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
}

// --- The child: one control, hosted ----------------------------------------

// A crash in a control ends the child at once with the exception's code, so
// the parent reports it (no debugger is started).
LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS* exception) {
    std::printf("crash: exception 0x%08lX\n", exception->ExceptionRecord->ExceptionCode);
    std::fflush(stdout);
    ::TerminateProcess(::GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// What the control says of itself: safe for untrusted callers by its
// IObjectSafety or by its "safe for scripting" category.
bool SaysSafeForScripting(IUnknown* control, const std::wstring& clsidText) {
    if (KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + clsidText +
                                         L"\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}")) {
        return true;
    }
    ComPtr<IObjectSafety> safety;
    if (!control || FAILED(control->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(safety.GetAddressOf())))) {
        return false;
    }
    DWORD supported = 0, enabled = 0;
    if (FAILED(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled))) return false;
    return (supported & INTERFACESAFE_FOR_UNTRUSTED_CALLER) != 0;
}

constexpr std::uint32_t kSentinel = 0x00FF00FF;  // a colour no control here paints with

// What the control draws of itself (IViewObject::Draw) over the sentinel
// colour; nothing when it cannot say.
std::optional<nphost::Capture> OwnDrawing(IUnknown* control, int width, int height) {
    ComPtr<IViewObject> view;
    if (FAILED(control->QueryInterface(IID_PPV_ARGS(&view)))) return std::nullopt;
    const HDC screen = ::GetDC(nullptr);
    const HDC dc = ::CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    std::optional<nphost::Capture> drawing;
    if (bitmap && bits) {
        const HGDIOBJ old = ::SelectObject(dc, bitmap);
        auto* pixels = static_cast<std::uint32_t*>(bits);
        std::fill(pixels, pixels + size_t(width) * size_t(height), kSentinel);
        const RECTL bounds = {0, 0, width, height};
        if (SUCCEEDED(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0))) {
            ::GdiFlush();
            drawing = nphost::Capture{width, height, std::vector<std::uint32_t>(pixels, pixels + size_t(width) * size_t(height))};
            for (auto& pixel : drawing->pixels) pixel &= 0x00FFFFFF;
        }
        ::SelectObject(dc, old);
    }
    if (bitmap) ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    return drawing;
}

bool PaintsSomething(const nphost::Capture& drawing) {
    return std::any_of(drawing.pixels.begin(), drawing.pixels.end(), [](std::uint32_t p) { return p != kSentinel; });
}

// Whether the screen shows the control inside `rect`: pixels that differ
// from the page before the control came, or (a control painting the page's
// own colour) pixels that match what it draws of itself.
bool Drawn(const nphost::Capture& before, const nphost::Capture& after, const RECT& rect,
           const nphost::Capture* own) {
    if (before.width != after.width || before.height != after.height) return true;
    const bool ownFits = own && own->width == rect.right - rect.left && own->height == rect.bottom - rect.top;
    size_t painted = 0, matching = 0;
    for (LONG y = rect.top; y < rect.bottom && y < after.height; ++y) {
        for (LONG x = rect.left; x < rect.right && x < after.width; ++x) {
            const size_t at = size_t(y) * size_t(after.width) + size_t(x);
            if (after.pixels[at] != before.pixels[at]) return true;
            if (!ownFits) continue;
            const std::uint32_t drawn = own->pixels[size_t(y - rect.top) * size_t(own->width) + size_t(x - rect.left)];
            if (drawn == kSentinel) continue;
            ++painted;
            if (drawn == after.pixels[at]) ++matching;
        }
    }
    return painted > 0 && matching * 10 >= painted * 9;
}

// Why the control may not have come up: what plain COM makes of it.
std::string Diagnosis(const CLSID& clsid) {
    ComPtr<IOleObject> object;
    const HRESULT created = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    char text[160];
    if (FAILED(created)) {
        std::snprintf(text, sizeof text, "CoCreateInstance for IOleObject: 0x%08lX", static_cast<unsigned long>(created));
        return text;
    }
    DWORD misc = 0;
    object->GetMiscStatus(DVASPECT_CONTENT, &misc);
    ComPtr<IOleInPlaceObject> inPlace;
    std::snprintf(text, sizeof text, "misc status 0x%08lX%s%s", misc,
                  (misc & OLEMISC_INVISIBLEATRUNTIME) ? " (invisible at run time)" : "",
                  FAILED(object.As(&inPlace)) ? ", no IOleInPlaceObject" : "");
    object->Close(OLECLOSE_NOSAVE);
    return text;
}

struct Usage {
    long handles = 0, windows = 0;
    bool operator>(const Usage& other) const { return handles > other.handles || windows > other.windows; }
};

// Kernel handles found by asking each small handle value (the platform's
// own count answers 0 under Wine).
long HandleCount() {
    long count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    ++*reinterpret_cast<long*>(count);
    ::EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

Usage CurrentUsage() {
    Usage usage;
    usage.handles = HandleCount();
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&usage.windows));
    return usage;
}

class HostedControl : public HostTest {
protected:
    void SetUp() override {
        clsidText_ = Environment(kClassVariable);
        file_ = Narrow(Environment(kFileVariable));
        if (clsidText_.empty() || file_.empty()) GTEST_SKIP() << "run by PlatformControls for one control";
        ::SetUnhandledExceptionFilter(EndWithExceptionCode);
        HostTest::SetUp();
    }

    // One page with the control, from delivery to teardown; the outcome in
    // words.
    std::string HostOnce() {
        nphost::Instance& instance = browser.NewInstance(kWidth + 40, kHeight + 40);
        EXPECT_EQ(NPERR_NO_ERROR, instance.New({{"width", std::to_string(kWidth)},
                                                {"height", std::to_string(kHeight)}}));
        EXPECT_EQ(NPERR_NO_ERROR, instance.SetWindow());
        std::string error;
        const std::optional<nphost::Capture> blank = nphost::CaptureClientArea(instance.window(), error);
        instance.Deliver("http://host/platform/control.opf", file_);
        browser.PumpMessages(200);
        const std::string outcome = Inspect(instance, blank);
        const HWND browserWindow = instance.window();
        EXPECT_EQ(NPERR_NO_ERROR, instance.SetWindow(nullptr));
        EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
        EXPECT_TRUE(::IsWindow(browserWindow));
        EXPECT_EQ(nullptr, ::GetWindow(browserWindow, GW_CHILD)) << "nothing of the control is left";
        EXPECT_TRUE(ThePluginApp().startedControls.Snapshot().empty());
        browser.ClosePage();
        browser.PumpMessages(100);
        return outcome;
    }

    std::string Inspect(nphost::Instance& instance, const std::optional<nphost::Capture>& blank) {
        ControlWindow* control = Record(instance)->window->GetControlWindow();
        IUnknown* unknown = control ? control->GetControlUnknown() : nullptr;
        if (!unknown) {
            std::string status;
            for (const std::string& line : browser.statusLines()) status += " \"" + line + "\"";
            EXPECT_EQ(nullptr, ScriptableObject(instance)) << "no control, no object";
            return "not created (" + Diagnosis(Record(instance)->window ? ClassOf(instance) : CLSID_NULL) + ";" +
                   (status.empty() ? std::string(" no status line") : status) + ")";
        }
        std::string outcome = "hosted:";
        EXPECT_TRUE(control->IsStarted());
        // A control that answers DoVerb without activating itself stays as it is.
        const bool inPlace = control->m_pCtrlSite->inPlaceActive();
        outcome += inPlace ? " in place" : " not in place (the control did not activate)";
        DWORD misc = 0;
        ComPtr<IOleObject> object;
        if (SUCCEEDED(unknown->QueryInterface(IID_PPV_ARGS(&object)))) object->GetMiscStatus(DVASPECT_CONTENT, &misc);
        if (control->m_hWnd) {
            RECT rect{};
            ::GetWindowRect(control->m_hWnd, &rect);
            ::MapWindowPoints(nullptr, instance.window(), reinterpret_cast<POINT*>(&rect), 2);
            EXPECT_EQ(instance.window(), ::GetParent(control->m_hWnd));
            EXPECT_TRUE(rect.left == 0 && rect.top == 0 && rect.right == kWidth && rect.bottom == kHeight)
                << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
            std::string error;
            const std::optional<nphost::Capture> shown = nphost::CaptureClientArea(instance.window(), error);
            const std::optional<nphost::Capture> own = OwnDrawing(unknown, kWidth, kHeight);
            const bool paints = own && PaintsSomething(*own);
            if ((misc & OLEMISC_INVISIBLEATRUNTIME) != 0) {
                outcome += ", windowed (invisible at run time)";
            } else if (!blank || !shown) {
                ADD_FAILURE() << "no screenshot: " << error;
            } else if (Drawn(*blank, *shown, rect, paints ? &*own : nullptr)) {
                outcome += ", windowed, drawn";
            } else {
                EXPECT_FALSE(paints) << "the control's area is blank, though it draws itself";
                outcome += paints ? ", windowed, BLANK" : ", windowed, blank (it draws nothing of itself either)";
            }
        } else {
            outcome += ", windowless";
        }
        const bool safe = SaysSafeForScripting(unknown, clsidText_);
        NPObject* scriptable = ScriptableObject(instance);
        EXPECT_EQ(safe, scriptable != nullptr) << "scriptable exactly when it says it is safe";
        if (scriptable) {
            NPIdentifier* names = nullptr;
            uint32_t count = 0;
            const bool listed = nphost::ObjectEnumerate(scriptable, &names, &count);
            EXPECT_TRUE(listed);
            outcome += ", scriptable (" + std::to_string(count) + " members)";
            if (names) nphost::Browser::Free(names);
            nphost::ReleaseObject(scriptable);
        } else {
            outcome += safe ? ", NOT scriptable though safe" : ", not scriptable (not safe)";
        }
        return outcome;
    }

    CLSID ClassOf(nphost::Instance&) const {
        CLSID clsid{};
        ::CLSIDFromString(clsidText_.c_str(), &clsid);
        return clsid;
    }

    NPObject* ScriptableObject(nphost::Instance& instance) {
        NPObject* object = nullptr;
        const auto getValue = reinterpret_cast<NPP_GetValueProcPtr>(browser.pluginFuncs().getvalue);
        if (!getValue || getValue(instance.npp(), NPPVpluginScriptableNPObject, &object) != NPERR_NO_ERROR) {
            return nullptr;
        }
        return object;
    }

    std::wstring clsidText_;
    std::string file_;
};

TEST_F(HostedControl, ComesUpAndGoesAwayCleanly) {
    std::string outcome;
    Usage afterFirst;
    bool grew = true;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        outcome = HostOnce();
        const Usage usage = CurrentUsage();
        // The first page may leave what the control's module keeps for good.
        if (cycle > 0) grew = grew && usage > afterFirst;
        if (cycle == 0 || !(usage > afterFirst)) afterFirst = usage;
    }
    EXPECT_FALSE(grew) << "handles or window objects grow with every page";
    std::printf("outcome: %s; %s (%ld handles, %ld windows)\n", outcome.c_str(),
                grew ? "LEAKS" : "flat over the pages", afterFirst.handles, afterFirst.windows);
}

// --- The parent: every control, each in a child ----------------------------

struct ChildResult {
    std::string outcome;  // the child's "outcome:" line, or what went wrong
    bool passed = false;
};

ChildResult RunChild(const PlatformControl& control, const std::string& propertyFile) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::string output = TempPath("child.txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const fw::UniqueHandle file(::CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file || file.get() == INVALID_HANDLE_VALUE) return {"cannot write the child's output", false};
    ::SetEnvironmentVariableW(kClassVariable, control.clsidText.c_str());
    ::SetEnvironmentVariableW(kFileVariable, Widen(propertyFile).c_str());
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_brief=1 --gtest_filter=HostedControl.*";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file.get();
    startup.hStdError = file.get();
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                          &startup, &process);
    ::SetEnvironmentVariableW(kClassVariable, nullptr);
    ::SetEnvironmentVariableW(kFileVariable, nullptr);
    if (!started) return {"cannot start the child", false};
    const fw::UniqueHandle processHandle(process.hProcess), thread(process.hThread);
    ChildResult result;
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.hProcess, kChildTimeoutMs) == WAIT_TIMEOUT) {
        ::TerminateProcess(process.hProcess, 1);
        ::WaitForSingleObject(process.hProcess, 5000);
        result.outcome = "HANG (no end within " + std::to_string(kChildTimeoutMs / 1000) + " s)";
    } else {
        ::GetExitCodeProcess(process.hProcess, &exitCode);
    }
    std::ifstream in(output);
    std::string line, failures;
    while (std::getline(in, line)) {
        if (line.rfind("outcome: ", 0) == 0 && result.outcome.empty()) result.outcome = line.substr(9);
        if (line.rfind("crash: ", 0) == 0) result.outcome = "CRASH (" + line.substr(7) + ")";
        if (line.find("Failure") != std::string::npos || line.find("Expected") != std::string::npos ||
            line.find("Which is") != std::string::npos || line.find("  Actual") != std::string::npos) {
            failures += "\n      " + line;
        }
    }
    in.close();
    ::DeleteFileA(output.c_str());
    result.passed = exitCode == 0 && result.outcome.rfind("HANG", 0) != 0 && result.outcome.rfind("CRASH", 0) != 0;
    if (result.outcome.empty()) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", exitCode);
        result.outcome = std::string("ended with ") + code + " before its outcome";
    }
    if (exitCode != 0 && result.outcome.rfind("HANG", 0) != 0) result.outcome += failures;
    return result;
}

TEST(PlatformControls, EachIsHostedOrRefusedCleanly) {
    const std::vector<PlatformControl> controls = FindPlatformControls();
    if (controls.empty()) GTEST_SKIP() << "the platform registers no controls here";
    std::printf("%-40s %-50s %s\n", "class", "server file", "result");
    for (const PlatformControl& control : controls) {
        const std::string propertyFile = TempPath("control.opf");
        std::ostringstream out, err;
        ASSERT_EQ(opftool::kExitOk,
                  opftool::RunOpftool({"capture", propertyFile, "--clsid", Narrow(control.clsidText), "--state", "empty"},
                                      out, err))
            << err.str();
        const ChildResult result = RunChild(control, propertyFile);
        ::DeleteFileA(propertyFile.c_str());
        std::printf("%-40s %-50s %s\n", Narrow(control.clsidText).c_str(), Narrow(control.server).c_str(),
                    result.outcome.c_str());
        std::fflush(stdout);
        EXPECT_TRUE(result.passed) << Narrow(control.clsidText) << ": " << result.outcome;
    }
}

}  // namespace
