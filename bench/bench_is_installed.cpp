// Cost of one installed-control lookup with 10,000 classes registered ahead of
// the wanted one: for a control that is installed, one that is missing and one
// whose key sorts last. Prints milliseconds per lookup beside what the old
// walk over every class key took; registers its classes on start and removes
// them on every way out.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "framework/unique_resource.h"
#include "install/control_registry_entry.h"
#include "scoped_classes.h"

namespace {

using bench::ClassIdAt;
using test::ClassIdText;

constexpr int kDecoys = 10000;
constexpr int kRounds = 20;
// The same lookups measured in this prefix when every lookup walked the keys
// under "CLSID" up to the wanted one: the figures this benchmark printed
// before the class key was opened by name (Wine, 64-bit, a loaded machine).
constexpr double kWalkInstalledMs = 866;
constexpr double kWalkMissingMs = 1755;
constexpr double kWalkLastMs = 1499;

double MillisecondsPerLookup(const CLSID& clsid, bool expected) {
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) {
        install::ControlRegistryEntry entry;
        if (entry.IsInstalled(clsid, "") != expected) {
            std::fprintf(stderr, "unexpected answer for %s\n", ClassIdText(clsid).c_str());
            return -1;
        }
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / kRounds;
}

std::string OwnPath() {
    char path[MAX_PATH];
    return std::string(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
}

}  // namespace

int main() {
    const fw::ScopedCoInitialize com;
    const char* where = nullptr;
    bench::ScopedClasses classes(bench::ScopedClasses::OpenClassList(where));
    std::printf("registering %d classes under %s\n", kDecoys, where);
    if (!classes.AddDecoys(kDecoys)) {
        std::fprintf(stderr, "cannot register the classes\n");
        return 1;
    }
    const std::string server = OwnPath();
    const CLSID installed = ClassIdAt(0x7FFFFFFF);
    const CLSID last = ClassIdAt(0xFFFFFFFF, 0xFFFF);
    if (!classes.Add(installed, &server) || !classes.Add(last, &server)) return 1;
    const CLSID missing = ClassIdAt(0x80000000);

    std::printf("%-34s %12s %12s\n", "lookup", "ms (by name)", "ms (walk)");
    std::printf("%-34s %12.3f %12.0f\n", "installed, after the classes", MillisecondsPerLookup(installed, true),
                kWalkInstalledMs);
    std::printf("%-34s %12.3f %12.0f\n", "missing", MillisecondsPerLookup(missing, false), kWalkMissingMs);
    std::printf("%-34s %12.3f %12.0f\n", "installed, key sorting last", MillisecondsPerLookup(last, true),
                kWalkLastMs);
    return 0;
}
