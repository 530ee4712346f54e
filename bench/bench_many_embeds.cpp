// A page with many embeds of the same installed control: 1, 10, 100 and 500
// instances of the built DLL on one page of the test host, each handed the
// same property file. For each page: activation time per embed (median and
// 90th percentile of the deliveries), private bytes per embed (the
// process's private bytes after every embed is running, less before the
// first property file was delivered), and the page's teardown (every
// instance's NPP_SetWindow(null) and NPP_Destroy); both split by when the
// test control received "Start", "Stop" and "InPlaceDeactivate" (what is
// between the last two is the plug-in telling the remaining controls of the
// stop). Then ten loads of the
// 100-embed page, each followed by its teardown, with the process's private
// bytes, handle count and window count after each: they stay flat when
// nothing of a page outlives it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "browser.h"
#include "opftool/compound_file_writer.h"
#include "opftool/property_file_builder.h"
#include "test_control_support.h"

namespace {

constexpr int kEmbedWidth = 48;
constexpr int kEmbedHeight = 36;
constexpr int kColumns = 25;
constexpr int kPageLoads = 10;

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return double(value.QuadPart);
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / frequency;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

void Drain() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

struct Usage {
    double privateBytes = 0;
    long handles = 0;
    long windows = 0;
};

// Committed private memory of the process, walked region by region (the
// platform's own counters answer 0 under Wine).
double PrivateBytes() {
    double bytes = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; ::VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += double(region.RegionSize);
        if (region.RegionSize == 0) break;
    }
    return bytes;
}

// Kernel handles open in the process, found by asking each small handle
// value (the platform's count answers 0 under Wine).
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

// Windows of this thread, children included.
long WindowCount() {
    long count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

Usage CurrentUsage() { return {PrivateBytes(), HandleCount(), WindowCount()}; }

struct PageFigures {
    std::vector<double> activations;  // one per embed, ms
    std::vector<double> untilStart;   // from delivery to the control's "Start"
    std::vector<double> afterStart;   // from "Start" to the delivery's return
    // Teardown of each embed: to its "Stop", from "Stop" to its
    // "InPlaceDeactivate" (the remaining controls are told), and the rest.
    std::vector<double> untilStop, telling, rest;
    double bytesPerEmbed = 0;
    double teardown = 0;  // the whole page, ms
};

// Loads a page of `embeds` instances, each delivered `propertyFile`, and
// tears it down again.
PageFigures LoadPage(nphost::Browser& browser, int embeds, const std::string& propertyFile,
                     const std::wstring& controlDll) {
    const int rows = (embeds + kColumns - 1) / kColumns;
    browser.SetPageSize(std::min(embeds, kColumns) * kEmbedWidth, rows * kEmbedHeight);
    std::vector<nphost::Instance*> instances;
    for (int i = 0; i < embeds; ++i) {
        nphost::Instance& instance = browser.NewInstanceAt((i % kColumns) * kEmbedWidth,
                                                           (i / kColumns) * kEmbedHeight, kEmbedWidth,
                                                           kEmbedHeight);
        instance.New({{"width", std::to_string(kEmbedWidth)}, {"height", std::to_string(kEmbedHeight)}});
        instance.SetWindow();
        instances.push_back(&instance);
    }
    Drain();
    PageFigures figures;
    const Usage before = CurrentUsage();
    for (nphost::Instance* instance : instances) {
        test_controls::ClearControlLog(controlDll);
        const double start = Now();
        instance->Deliver("http://host/bench/page/control.opf", propertyFile);
        const double done = Now();
        figures.activations.push_back(done - start);
        for (const auto& [when, line] : test_controls::ReadTimedControlLog(controlDll)) {
            if (line.find(" Start") == std::string::npos) continue;
            figures.untilStart.push_back(when - start);
            figures.afterStart.push_back(done - when);
            break;
        }
    }
    Drain();
    figures.bytesPerEmbed = (CurrentUsage().privateBytes - before.privateBytes) / embeds;
    double teardown = 0;
    for (nphost::Instance* instance : instances) {
        test_controls::ClearControlLog(controlDll);
        const double start = Now();
        instance->SetWindow(nullptr);
        instance->Destroy();
        const double done = Now();
        teardown += done - start;
        double stop = 0, deactivate = 0;
        for (const auto& [when, line] : test_controls::ReadTimedControlLog(controlDll)) {
            if (stop == 0 && line.find(" Stop") != std::string::npos) stop = when;
            if (stop != 0 && line.find(" InPlaceDeactivate") != std::string::npos) {
                deactivate = when;
                break;
            }
        }
        if (deactivate == 0) continue;
        figures.untilStop.push_back(stop - start);
        figures.telling.push_back(deactivate - stop);
        figures.rest.push_back(done - deactivate);
    }
    figures.teardown = teardown;
    browser.ClosePage();
    browser.ClearLog();
    Drain();
    return figures;
}

std::string TempFile(const std::string& name) {
    char directory[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + "bench-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
}

int Run() {
    const auto& control = test_controls::Info(test_controls::Variant::basic);
    test_controls::ScopedControlRegistration registration(control.dllPath);
    if (FAILED(registration.result())) {
        std::fprintf(stderr, "cannot register the test control\n");
        return 1;
    }
    test_controls::ControlState state;
    state.caption = L"Many";
    opftool::PropertyFileContent content;
    content.clsid = control.clsid;
    content.headers = {{"Product Version", control.productVersion}};
    content.contents = test_controls::EncodeControlState(state);
    const std::string propertyFile = TempFile("many.opf");
    if (FAILED(opftool::WriteCompoundFile(propertyFile, opftool::BuildPropertyFile(content)))) {
        std::fprintf(stderr, "cannot write the property file\n");
        return 1;
    }
    struct Remove {
        const std::string& path;
        ~Remove() { ::DeleteFileA(path.c_str()); }
    } remove{propertyFile};

    const std::wstring dllPath(NPTRV_BENCH_DLL, NPTRV_BENCH_DLL + std::strlen(NPTRV_BENCH_DLL));
    nphost::PluginModule module(dllPath);
    if (!module.valid()) {
        std::fprintf(stderr, "cannot load %s\n", NPTRV_BENCH_DLL);
        return 1;
    }
    nphost::Browser browser(module);
    if (browser.Initialize() != NPERR_NO_ERROR) return 1;
    std::printf("many embeds of the test control, %s DLL %s (%dx%d each):\n", sizeof(void*) == 4 ? "32-bit" : "64-bit",
                NPTRV_BENCH_DLL, kEmbedWidth, kEmbedHeight);
    LoadPage(browser, 10, propertyFile, control.dllPath);  // warm-up
    double single = 0;
    for (int embeds : {1, 10, 100, 500}) {
        // Small pages are loaded several times, for steadier medians.
        const int loads = embeds <= 10 ? 20 : embeds <= 100 ? 3 : 1;
        PageFigures all;
        std::vector<double> teardowns, bytes;
        for (int load = 0; load < loads; ++load) {
            PageFigures page = LoadPage(browser, embeds, propertyFile, control.dllPath);
            all.activations.insert(all.activations.end(), page.activations.begin(), page.activations.end());
            all.untilStart.insert(all.untilStart.end(), page.untilStart.begin(), page.untilStart.end());
            all.afterStart.insert(all.afterStart.end(), page.afterStart.begin(), page.afterStart.end());
            all.untilStop.insert(all.untilStop.end(), page.untilStop.begin(), page.untilStop.end());
            all.telling.insert(all.telling.end(), page.telling.begin(), page.telling.end());
            all.rest.insert(all.rest.end(), page.rest.begin(), page.rest.end());
            teardowns.push_back(page.teardown);
            bytes.push_back(page.bytesPerEmbed);
        }
        const double median = Percentile(all.activations, 0.5);
        if (embeds == 1) single = median;
        std::printf("  %3d embeds: activation per embed median %7.3f ms  p90 %7.3f ms  (%.2fx the single embed;"
                    " until \"Start\" %.3f, from \"Start\" to return %.3f)\n"
                    "             private bytes per embed %8.0f; page teardown %8.2f ms (%.3f ms per embed:"
                    " until \"Stop\" %.3f, telling the others %.3f, the rest %.3f)\n",
                    embeds, median, Percentile(all.activations, 0.9), median / single,
                    Percentile(all.untilStart, 0.5), Percentile(all.afterStart, 0.5), Percentile(bytes, 0.5),
                    Percentile(teardowns, 0.5), Percentile(teardowns, 0.5) / embeds, Percentile(all.untilStop, 0.5),
                    Percentile(all.telling, 0.5), Percentile(all.rest, 0.5));
    }
    std::printf("  ten loads of the 100-embed page, after each teardown:\n");
    const Usage start = CurrentUsage();
    std::printf("    before:  private bytes %10.0f  handles %5ld  windows %5ld\n", start.privateBytes,
                start.handles, start.windows);
    for (int load = 1; load <= kPageLoads; ++load) {
        LoadPage(browser, 100, propertyFile, control.dllPath);
        const Usage usage = CurrentUsage();
        std::printf("    load %2d: private bytes %10.0f  handles %5ld  windows %5ld  (%+.0f bytes, %+ld handles,"
                    " %+ld windows since before)\n",
                    load, usage.privateBytes, usage.handles, usage.windows, usage.privateBytes - start.privateBytes,
                    usage.handles - start.handles, usage.windows - start.windows);
    }
    return 0;
}

}  // namespace

int main() {
    const fw::ScopedCoInitialize com;  // apartment-threaded, as a browser's thread
    try {
        return Run();
    } catch (...) {
        std::fprintf(stderr, "benchmark failed\n");
        return 1;
    }
}
