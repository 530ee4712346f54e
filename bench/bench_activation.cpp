// Cost of activating an installed control from its property file, measured
// four ways in one run, in rotating order so that drift hits all alike:
//   floor      CoCreateInstance, IPersistStreamInit::Load of the saved state
//              (held in memory), in-place activation in a visible window
//              of the same size; teardown: deactivate, close, release;
//   essential  the property file opened read-only and direct, its header
//              values and class read, the class's own key opened, the server
//              file checked and its product version read, then the floor with
//              the state loaded from "Contents";
//   modes      the same work in the storage modes the plug-in must use: the
//              root transacted, share-exclusive and read-write (read-only
//              when that is refused), sub-storages transacted read-write,
//              streams read-write, and each storage committed as it is left;
//   plug-in    the property file delivered to an instance of the built DLL
//              through the test host until "Start" has returned; teardown:
//              NPP_SetWindow(null) and NPP_Destroy.
// Each with no extra classes and with 10,000 registered (removed on every way
// out). Prints medians and 90th percentiles in milliseconds, the ratios, the
// laps of each road (when the test control received each call), and the
// sizes of the plug-in DLLs.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>
#include <ocidl.h>
#include <ole2.h>
#include <wrl/client.h>

#include "browser.h"
#include "fake_site.h"
#include "opftool/commands.h"
#include "opftool/compound_file_writer.h"
#include "opftool/property_file_builder.h"
#include "install/control_registry_entry.h"
#include "propfile/compound_file_check.h"
#include "propfile/property_file_layout.h"
#include "propfile/property_file_reader.h"
#include "propfile/saved_state.h"
#include "scoped_classes.h"
#include "test_control_support.h"

using Microsoft::WRL::ComPtr;
using install::ControlRegistryEntry;
using propfile::COCXInfo;
using propfile::CPropertyFileReader;
using propfile::CStorageFile;

namespace {

constexpr int kWarmUp = 10;
constexpr int kCycles = 120;
constexpr int kDecoys = 10000;
constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Milliseconds on the clock of the test control's log (QueryPerformanceCounter).
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

// Dispatches what the windows of the last cycle left in the queue.
void Drain() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// The three moments of one cycle, and the road's own marks between them.
struct Sample {
    double start = 0;
    double activated = 0;
    double done = 0;
    std::vector<test_controls::TimedLine> marks;  // "0 <what>", in order
    void Mark(const char* what) { marks.push_back({Now(), std::string("0 ") + what}); }
};

// One lap: the time since the previous mark, up to the call named.
struct Lap {
    std::string call;
    double milliseconds;
};

std::string CallName(const std::string& line) {
    const std::size_t first = line.find(' ');
    if (first == std::string::npos) return line;
    const std::size_t second = line.find(' ', first + 1);
    std::string name = line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (line.size() > 5 && line.compare(line.size() - 5, 5, " null") == 0) name += " null";
    return name;
}

// The laps of one cycle from the test control's timed log; empty for a
// control that keeps no log.
std::vector<Lap> LapsOf(const Sample& sample, std::vector<test_controls::TimedLine> log) {
    std::vector<Lap> laps;
    if (log.empty()) return laps;
    log.insert(log.end(), sample.marks.begin(), sample.marks.end());
    std::stable_sort(log.begin(), log.end(), [](const auto& a, const auto& b) { return a.milliseconds < b.milliseconds; });
    double previous = sample.start;
    bool tornDown = false;
    for (const auto& [when, line] : log) {
        if (when < sample.start || when > sample.done) continue;
        if (!tornDown && when > sample.activated) {
            laps.push_back({"(activated)", sample.activated - previous});
            previous = sample.activated;
            tornDown = true;
        }
        laps.push_back({CallName(line), when - previous});
        previous = when;
    }
    if (laps.empty()) return laps;
    if (!tornDown) {
        laps.push_back({"(activated)", sample.activated - previous});
        previous = sample.activated;
    }
    laps.push_back({"(torn down)", sample.done - previous});
    return laps;
}

struct Figures {
    std::vector<double> activation, teardown;
    std::vector<std::vector<Lap>> laps;
    void Add(const Sample& sample, std::vector<Lap> cycleLaps) {
        activation.push_back(sample.activated - sample.start);
        teardown.push_back(sample.done - sample.activated);
        if (!cycleLaps.empty()) laps.push_back(std::move(cycleLaps));
    }
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

// A control under test: its class, its property file and its saved state.
struct Subject {
    std::string name;
    CLSID clsid{};
    std::string propertyFile;
    std::string state;  // "Contents" bytes; empty: the control starts as new
};

// The in-place object over `parent`, as plain COM makes it.
class FloorControl {
public:
    explicit FloorControl(HWND parent) : site_(parent, false) {}
    FloorControl(const FloorControl&) = delete;
    FloorControl& operator=(const FloorControl&) = delete;

    bool Activate(const CLSID& clsid, IStream* state) {
        if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object_)))) {
            return false;
        }
        DWORD misc = 0;
        object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
        if (misc & OLEMISC_SETCLIENTSITEFIRST) object_->SetClientSite(&site_);
        ComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(object_.As(&persist))) {
            if (FAILED(state ? persist->Load(state) : persist->InitNew())) return false;
        }
        if (!(misc & OLEMISC_SETCLIENTSITEFIRST)) object_->SetClientSite(&site_);
        SIZEL extent = {kWidth * 2540 / 96, kHeight * 2540 / 96};
        object_->SetExtent(DVASPECT_CONTENT, &extent);
        RECT rect = {0, 0, kWidth, kHeight};
        return SUCCEEDED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site_, 0,
                                         site_parent(), &rect));
    }

    void TearDown() {
        if (!object_) return;
        ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(object_.As(&inPlace))) inPlace->InPlaceDeactivate();
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Reset();
    }

private:
    HWND site_parent() {
        HWND window = nullptr;
        site_.GetWindow(&window);
        return window;
    }

    test_controls::FakeSite site_;
    ComPtr<IOleObject> object_;
};

ComPtr<IStream> MemoryStream(const std::string& bytes) {
    ComPtr<IStream> stream;
    if (bytes.empty() || FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
    stream->Write(bytes.data(), ULONG(bytes.size()), nullptr);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

Sample FloorCycle(const Subject& subject, HWND parent) {
    const ComPtr<IStream> state = MemoryStream(subject.state);
    FloorControl control(parent);
    Sample sample;
    sample.start = Now();
    control.Activate(subject.clsid, state.Get());
    sample.activated = Now();
    control.TearDown();
    sample.done = Now();
    return sample;
}

std::string ReadStreamText(IStorage* storage, const wchar_t* name, DWORD mode = STGM_READ | STGM_SHARE_EXCLUSIVE) {
    ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(name, nullptr, mode, 0, &stream))) return {};
    char buffer[propfile::kValueReadLimit];
    ULONG read = 0;
    stream->Read(buffer, sizeof buffer, &read);
    return std::string(buffer, read);
}

std::wstring Wide(const char* text) { return std::wstring(text, text + std::strlen(text)); }

// How the essential road opens the property file: its storages, its
// streams, and whether it commits each storage as it leaves it.
struct StorageModes {
    DWORD root, retry, storage, stream;
    bool commit;
};
constexpr StorageModes kDirectReadOnly = {STGM_READ | STGM_SHARE_EXCLUSIVE | STGM_DIRECT, 0,
                                          STGM_READ | STGM_SHARE_EXCLUSIVE | STGM_DIRECT,
                                          STGM_READ | STGM_SHARE_EXCLUSIVE, false};
constexpr StorageModes kPluginModes = {STGM_TRANSACTED | STGM_SHARE_EXCLUSIVE | STGM_READWRITE,
                                       STGM_TRANSACTED | STGM_SHARE_EXCLUSIVE | STGM_READ,
                                       STGM_TRANSACTED | STGM_SHARE_EXCLUSIVE | STGM_READWRITE,
                                       STGM_SHARE_EXCLUSIVE | STGM_READWRITE, true};

void Leave(ComPtr<IStorage>& storage, const StorageModes& modes) {
    if (storage && modes.commit) storage->Commit(STGC_ONLYIFCURRENT);
    storage.Reset();
}

// The essential work of the road, done directly.
Sample EssentialCycle(const Subject& subject, HWND parent, const StorageModes& modes) {
    Sample sample;
    sample.start = Now();
    ComPtr<IStorage> root, header, section;
    ComPtr<IStream> contents;
    CLSID clsid{};
    std::string version;
    const std::wstring path = Wide(subject.propertyFile.c_str());
    HRESULT opened = ::StgOpenStorage(path.c_str(), nullptr, modes.root, nullptr, 0, &root);
    if (opened != S_OK && modes.retry != 0) {
        root.Reset();
        opened = ::StgOpenStorage(path.c_str(), nullptr, modes.retry, nullptr, 0, &root);
    }
    sample.Mark("[opened]");
    if (opened == S_OK) {
        ReadStreamText(root.Get(), Wide(propfile::kBrowserVersionStream).c_str(), modes.stream);
        if (SUCCEEDED(root->OpenStorage(Wide(propfile::kHeaderSection).c_str(), nullptr, modes.storage,
                                        nullptr, 0, &header))) {
            for (const propfile::HeaderField& field : propfile::kHeaderFields) {
                const std::string value = ReadStreamText(header.Get(), Wide(field.key).c_str(), modes.stream);
                if (std::strcmp(field.key, "Product Version") == 0) version = value.c_str();
            }
            sample.Mark("[header-read]");
            Leave(header, modes);
            sample.Mark("[header-left]");
        }
        if (SUCCEEDED(root->OpenStorage(Wide(propfile::kObjectPropertySection).c_str(), nullptr,
                                        modes.storage, nullptr, 0, &section))) {
            ::ReadClassStg(section.Get(), &clsid);
            section->OpenStream(Wide(propfile::kContentsStream).c_str(), nullptr, modes.stream, 0,
                                &contents);
        }
    }
    sample.Mark("[section-open]");
    wchar_t keyName[64] = L"CLSID\\";
    ::StringFromGUID2(clsid, keyName + 6, 40);
    HKEY classKey = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName, 0, KEY_READ, &classKey) == ERROR_SUCCESS) {
        const fw::UniqueHKey key(classKey);
        HKEY control = nullptr;
        if (::RegOpenKeyExW(key.get(), L"Control", 0, KEY_READ, &control) == ERROR_SUCCESS) {
            ::RegCloseKey(control);
        }
        wchar_t server[MAX_PATH] = {};
        LONG bytes = sizeof server;
        if (::RegQueryValueW(key.get(), L"InprocServer32", server, &bytes) == ERROR_SUCCESS &&
            ::GetFileAttributesW(server) != INVALID_FILE_ATTRIBUTES) {
            DWORD ignored = 0;
            std::vector<BYTE> block(::GetFileVersionInfoSizeW(server, &ignored));
            void* table = nullptr;
            UINT length = 0;
            if (!block.empty() && ::GetFileVersionInfoW(server, 0, DWORD(block.size()), block.data()) &&
                ::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &table, &length) && length >= 4) {
                const DWORD first = *static_cast<DWORD*>(table);
                wchar_t query[64];
                std::swprintf(query, 64, L"\\StringFileInfo\\%04hX%04hX\\ProductVersion", LOWORD(first), HIWORD(first));
                void* text = nullptr;
                ::VerQueryValueW(block.data(), query, &text, &length);
            }
        }
    }
    sample.Mark("[looked-up]");
    FloorControl control(parent);
    control.Activate(clsid, contents.Get());
    sample.Mark("[created]");
    contents.Reset();
    Leave(section, modes);
    sample.Mark("[section-left]");
    Leave(root, modes);
    sample.activated = Now();
    control.TearDown();
    sample.done = Now();
    return sample;
}

// The page leaves after each cycle, outside the timed part, so that no
// instance windows pile up in the browser.
Sample PluginCycle(const Subject& subject, nphost::Browser& browser) {
    nphost::Instance& instance = browser.NewInstance(400, 300);
    instance.New({{"width", std::to_string(kWidth)}, {"height", std::to_string(kHeight)}});
    instance.SetWindow();
    Sample sample;
    sample.start = Now();
    instance.Deliver("http://host/bench/control.opf", subject.propertyFile);
    sample.activated = Now();
    instance.SetWindow(nullptr);
    instance.Destroy();
    sample.done = Now();
    browser.ClosePage();
    browser.ClearLog();
    return sample;
}

constexpr int kRoads = 4;
constexpr const char* kRoadNames[kRoads] = {"floor", "essential", "modes", "plug-in"};

struct Results {
    Figures roads[kRoads];
    const Figures& floor() const { return roads[0]; }
    const Figures& essential() const { return roads[1]; }
    const Figures& modes() const { return roads[2]; }
    const Figures& plugin() const { return roads[3]; }
};

Results Measure(const Subject& subject, HWND parent, nphost::Browser& browser, const std::wstring& logDll) {
    const std::function<Sample()> roads[kRoads] = {
        [&] { return FloorCycle(subject, parent); },
        [&] { return EssentialCycle(subject, parent, kDirectReadOnly); },
        [&] { return EssentialCycle(subject, parent, kPluginModes); },
        [&] { return PluginCycle(subject, browser); },
    };
    Results results;
    for (int cycle = 0; cycle < kWarmUp + kCycles; ++cycle) {
        for (int step = 0; step < kRoads; ++step) {
            const int road = (cycle + step) % kRoads;
            test_controls::ClearControlLog(logDll);
            const Sample sample = roads[road]();
            Drain();
            if (cycle >= kWarmUp) {
                results.roads[road].Add(sample, LapsOf(sample, test_controls::ReadTimedControlLog(logDll)));
            }
        }
    }
    return results;
}

void Print(const char* what, const std::vector<double>& values) {
    std::printf("  %-26s median %8.3f   p90 %8.3f\n", what, Percentile(values, 0.5), Percentile(values, 0.9));
}

// The median of each lap over the cycles whose calls came in the order of the
// first cycle's.
void PrintLaps(const char* road, const Figures& figures) {
    if (figures.laps.empty()) return;
    const std::vector<Lap>& first = figures.laps.front();
    std::string line;
    for (size_t i = 0; i < first.size(); ++i) {
        std::vector<double> values;
        for (const std::vector<Lap>& laps : figures.laps) {
            if (laps.size() == first.size() && laps[i].call == first[i].call) values.push_back(laps[i].milliseconds);
        }
        char lap[96];
        std::snprintf(lap, sizeof lap, " %s %.3f", first[i].call.c_str(), Percentile(values, 0.5));
        line += lap;
    }
    std::printf("  laps %-8s%s\n", road, line.c_str());
}

void Report(const Subject& subject, const char* classes, const Results& r) {
    std::printf("%s, %s (%d cycles after %d warm-up, ms):\n", subject.name.c_str(), classes, kCycles, kWarmUp);
    Print("floor activation", r.floor().activation);
    Print("floor teardown", r.floor().teardown);
    Print("essential activation", r.essential().activation);
    Print("essential (modes) activation", r.modes().activation);
    Print("plug-in activation", r.plugin().activation);
    Print("plug-in teardown", r.plugin().teardown);
    const double plugin = Percentile(r.plugin().activation, 0.5);
    const double modes = Percentile(r.modes().activation, 0.5);
    std::printf("  ratios: activation plug-in/modes %.2f (target 1.30), plug-in/essential %.2f, "
                "modes/essential %.2f, plug-in/floor %.2f;\n"
                "          teardown plug-in/floor %.2f (target 1.10)\n",
                plugin / modes, plugin / Percentile(r.essential().activation, 0.5),
                modes / Percentile(r.essential().activation, 0.5), plugin / Percentile(r.floor().activation, 0.5),
                Percentile(r.plugin().teardown, 0.5) / Percentile(r.floor().teardown, 0.5));
    std::printf("  laps (median ms since the previous mark, up to the call the control received):\n");
    for (int road = 0; road < kRoads; ++road) PrintLaps(kRoadNames[road], r.roads[road]);
}

void PrintFileSize(const char* what, const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path[0] == '\0' || !::GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        std::printf("%-28s (not built)\n", what);
        return;
    }
    std::printf("%-28s %10lu bytes (%s)\n", what, data.nFileSizeLow, path);
}

std::string TempFile(const std::string& name) {
    char directory[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + "bench-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
}

// The test control's property file and state, written for this run.
std::optional<Subject> TestControlSubject() {
    const auto& control = test_controls::Info(test_controls::Variant::basic);
    test_controls::ControlState state;
    state.caption = L"Benchmark";
    Subject subject{"test control", control.clsid, TempFile("test.opf"), test_controls::EncodeControlState(state)};
    opftool::PropertyFileContent content;
    content.clsid = control.clsid;
    content.headers = {{"Product Version", control.productVersion}};
    content.contents = subject.state;
    if (FAILED(opftool::WriteCompoundFile(subject.propertyFile, opftool::BuildPropertyFile(content)))) {
        return std::nullopt;
    }
    return subject;
}

// The platform's media player control, captured by opftool, where the
// platform registers it.
std::optional<Subject> PlatformSubject() {
    Subject subject{"platform media player", {}, TempFile("platform.opf"), {}};
    ::CLSIDFromString(L"{6BF52A52-394A-11D3-B153-00C04F79FAA6}", &subject.clsid);
    std::ostringstream out, err;
    if (opftool::RunOpftool({"capture", subject.propertyFile, "--clsid", "{6BF52A52-394A-11D3-B153-00C04F79FAA6}"},
                            out, err) != opftool::kExitOk) {
        return std::nullopt;
    }
    ComPtr<IStorage> root, section;
    ComPtr<IStream> contents;
    const DWORD mode = STGM_READ | STGM_SHARE_EXCLUSIVE;
    if (SUCCEEDED(::StgOpenStorage(Wide(subject.propertyFile.c_str()).c_str(), nullptr, mode, nullptr, 0, &root)) &&
        SUCCEEDED(root->OpenStorage(Wide(propfile::kObjectPropertySection).c_str(), nullptr, mode, nullptr, 0,
                                    &section)) &&
        SUCCEEDED(section->OpenStream(Wide(propfile::kContentsStream).c_str(), nullptr, mode, 0, &contents))) {
        char buffer[4096];
        ULONG read = 0;
        while (SUCCEEDED(contents->Read(buffer, sizeof buffer, &read)) && read > 0) subject.state.append(buffer, read);
    }
    return subject;
}

// Medians of the plug-in's own steps before the control is created, each on
// its own, to show where the plug-in's time goes.
void ReportSteps(const Subject& subject) {
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"structure check", [&] { propfile::FileHasSoundCompoundStructure(subject.propertyFile); }},
        {"record read (whole)", [&] {
             COCXInfo info;
             CPropertyFileReader().ReadPropertyFile(subject.propertyFile, info);
         }},
        {"installed lookup", [&] { ControlRegistryEntry().IsInstalled(subject.clsid, ""); }},
        {"saved state open/leave", [&] {
             CStorageFile file;
             propfile::OpenSavedState(file, subject.propertyFile);
             propfile::LeaveSavedState(file);
         }},
    };
    std::printf("%s, plug-in steps (ms):\n", subject.name.c_str());
    for (const auto& [name, step] : steps) {
        std::vector<double> times;
        for (int cycle = 0; cycle < kWarmUp + kCycles; ++cycle) {
            const double start = Now();
            step();
            if (cycle >= kWarmUp) times.push_back(Now() - start);
        }
        Print(name, times);
    }
}

class ScopedFile {
public:
    explicit ScopedFile(std::string path) : path_(std::move(path)) {}
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    ~ScopedFile() { ::DeleteFileA(path_.c_str()); }

private:
    std::string path_;
};

int Run() {
    PrintFileSize("shipped 32-bit DLL", NPTRV_SHIPPED_DLL);
    PrintFileSize(sizeof(void*) == 4 ? "benchmarked 32-bit DLL" : "benchmarked 64-bit DLL", NPTRV_BENCH_DLL);

    const auto& control = test_controls::Info(test_controls::Variant::basic);
    test_controls::ScopedControlRegistration registration(control.dllPath);
    if (FAILED(registration.result())) {
        std::fprintf(stderr, "cannot register the test control\n");
        return 1;
    }
    std::vector<Subject> subjects;
    std::vector<std::unique_ptr<ScopedFile>> files;
    if (std::optional<Subject> subject = TestControlSubject()) subjects.push_back(*subject);
    if (std::optional<Subject> subject = PlatformSubject()) subjects.push_back(*subject);
    for (const Subject& subject : subjects) files.push_back(std::make_unique<ScopedFile>(subject.propertyFile));
    if (subjects.empty()) {
        std::fprintf(stderr, "cannot write the property file\n");
        return 1;
    }
    if (subjects.size() < 2) std::printf("(the platform's media player control is not registered here)\n");

    const std::wstring dllPath(NPTRV_BENCH_DLL, NPTRV_BENCH_DLL + std::strlen(NPTRV_BENCH_DLL));
    nphost::PluginModule module(dllPath);
    if (!module.valid()) {
        std::fprintf(stderr, "cannot load %s\n", NPTRV_BENCH_DLL);
        return 1;
    }
    nphost::Browser browser(module);
    if (browser.Initialize() != NPERR_NO_ERROR) return 1;
    // Visible, as the browser's page is: a control in a hidden window leaves
    // out the repainting its removal costs, about half of the teardown.
    const HWND parent = ::CreateWindowExW(0, L"STATIC", L"floor",
                                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                          kWidth + 40, kHeight + 60, nullptr, nullptr, nullptr, nullptr);

    const char* where = nullptr;
    bench::ScopedClasses decoys(bench::ScopedClasses::OpenClassList(where));
    for (int extra : {0, kDecoys}) {
        if (extra > 0 && !decoys.AddDecoys(extra)) {
            std::fprintf(stderr, "cannot register the extra classes under %s\n", where);
            return 1;
        }
        const std::string classes = extra == 0 ? "no extra classes"
                                               : std::to_string(extra) + " extra classes under " + where;
        for (const Subject& subject : subjects) {
            Report(subject, classes.c_str(), Measure(subject, parent, browser, control.dllPath));
        }
        ReportSteps(subjects.front());
    }
    ::DestroyWindow(parent);
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
