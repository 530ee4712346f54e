// nphost: plays the browser for the plug-in from the command line.
//
//   nphost PAGE [--answer yes|no|ask] [--screenshot OUT.png] [--run-for SECONDS] [--plugin DLL]
//   nphost --plugin DLL [--immediate] [--arg NAME=VALUE]... [--run-for SECONDS] FILE.opf
//
// Page mode (PAGE is a local path or a file:/http: URL of an HTML page):
// shows the page's embeds, see page_run.h. Property-file mode (a FILE.opf):
// one instance fed the property file, see property_file_run.h. Both print
// every call made.
#include <cstdio>

#include "options.h"
#include "plugin_finder.h"

namespace {

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "nphost: %s\n", problem);
    std::fprintf(stderr,
                 "usage: nphost PAGE.html [--answer yes|no|ask] [--screenshot OUT.png] "
                 "[--run-for SECONDS] [--plugin DLL]\n"
                 "       nphost --plugin DLL [--immediate] [--arg NAME=VALUE]... "
                 "[--run-for SECONDS] FILE.opf\n"
                 "Without --plugin, the plug-in for %s is the one registered under\n"
                 "HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE\\%s, else the one in the\n"
                 "\"plugins\" directory beside a local page, else the one beside nphost.exe.\n"
                 "--answer (default no) answers the download warning; ask leaves it to you.\n"
                 "--screenshot also writes the download warning, as shown, to OUT-warning.png.\n",
                 nphost::kPropertyFileMimeType, nphost::kMozillaPluginsKey);
    return problem ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const nphost::CommandLine line = nphost::ParseCommandLine(argc, argv);
    switch (line.mode) {
    case nphost::CommandLine::Mode::Help: return Usage(nullptr);
    case nphost::CommandLine::Mode::Page: return nphost::RunPage(line.page);
    case nphost::CommandLine::Mode::PropertyFile: return nphost::RunPropertyFile(line.propertyFile);
    case nphost::CommandLine::Mode::Wrong: break;
    }
    return Usage(line.problem.c_str());
}
