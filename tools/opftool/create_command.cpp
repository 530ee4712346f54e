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
    std::string error;
    std::vector<std::string> options = kContentOptions;
    options.push_back("--contents");
    if (!ParseArguments(args, options, parsed, error)) {
        return ReportUsageError(err, kCommand, error);
    }
    if (parsed.help) {
        PrintUsage(out);
        return kExitOk;
    }
    if (parsed.positional.size() != 1) {
        return ReportUsageError(err, kCommand, "expected exactly one output file OUT.opf");
    }
    PropertyFileContent content;
    if (!CollectContent(parsed, content, error)) return ReportUsageError(err, kCommand, error);
    const std::string* contentsFile = FindOption(parsed, "--contents");
    if (contentsFile && !ReadWholeFile(*contentsFile, content.contents)) {
        err << "opftool create: cannot read the contents file " << *contentsFile << "\n";
        return kExitFailure;
    }
    const std::string& outPath = parsed.positional.front();
    const HRESULT status = WriteCompoundFile(outPath, BuildPropertyFile(content));
    if (FAILED(status)) {
        err << "opftool create: cannot write " << outPath << " (OLE error 0x" << std::hex
            << static_cast<unsigned long>(status) << std::dec << ")\n";
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace opftool
