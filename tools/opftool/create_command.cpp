// opftool create: writes an object property file from the command line.
#include <fstream>
#include <iterator>
#include <sstream>

#include "opftool/command_line.h"
#include "opftool/commands.h"
#include "opftool/content_options.h"
#include "opftool/property_file_builder.h"

namespace opftool {

namespace {

constexpr char kCommand[] = "create";

void PrintUsage(std::ostream& out) {
    out << "usage: opftool create OUT.opf --clsid {CLSID} [--header \"Key=Value\"]...\n"
           "                      [--browser-version TEXT] [--contents FILE]\n\n"
           "Writes an object property file: the control's class identifier, the header\n"
           "values given (each stored as its text and one zero byte) and the control's\n"
           "saved state from FILE (empty when not given).\n\n"
           "Header keys: "
        << KnownHeaderKeys() << "\n";
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream buffer;
    buffer << file.rdbuf();
    bytes = buffer.str();
    return !file.bad();
}

}  // namespace

int RunCreate(const Arguments& args, std::ostream& out, std::ostream& err) {
    ParsedArguments parsed;
    PropertyFileContent content;
    if (const auto exit = ReadWritingArguments(args, kCommand, {"--contents"}, PrintUsage, parsed,
                                               content, out, err)) {
        return *exit;
    }
    const std::string* contentsFile = FindOption(parsed, "--contents");
    if (contentsFile && !ReadWholeFile(*contentsFile, content.contents)) {
        err << "opftool create: cannot read the contents file " << *contentsFile << "\n";
        return kExitFailure;
    }
    return WritePropertyFile(parsed.positional.front(), content, kCommand, err);
}

}  // namespace opftool
