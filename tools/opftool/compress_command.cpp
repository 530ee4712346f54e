// opftool compress: writes a control file in the platform's LZ-compressed
// format, to be published as name.oc_ and expanded by the plug-in.
#include <fstream>
#include <iterator>
#include <vector>

#include "opftool/command_line.h"
#include "opftool/commands.h"
#include "opftool/szdd_writer.h"

namespace opftool {

namespace {

constexpr char kCommand[] = "compress";

void PrintUsage(std::ostream& out) {
    out << "usage: opftool compress IN OUT\n\n"
           "Writes IN to OUT in the LZ-compressed (SZDD) format that the platform's\n"
           "expansion service reads. Publish a control file compressed this way with\n"
           "the extension \".oc_\" and \"IsCompressed=TRUE\" in its property file.\n";
}

// The character that the compressed file's conventional name (last character
// replaced by "_") loses: the last character of IN's name.
char MissingCharacter(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/");
    const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    return name.empty() ? '\0' : name.back();
}

}  // namespace

int RunCompress(const Arguments& args, std::ostream& out, std::ostream& err) {
    ParsedArguments parsed;
    if (const auto exit = ReadCommandArguments(args, kCommand, {}, 2,
                                               "an input file IN and an output file OUT",
                                               PrintUsage, parsed, out, err)) {
        return *exit;
    }
    const std::string& inPath = parsed.positional[0];
    const std::string& outPath = parsed.positional[1];
    std::ifstream input(inPath, std::ios::binary);
    if (!input) {
        err << "opftool compress: cannot read " << inPath << "\n";
        return kExitFailure;
    }
    const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(input)),
                                         std::istreambuf_iterator<char>());
    if (input.bad()) {
        err << "opftool compress: cannot read " << inPath << "\n";
        return kExitFailure;
    }
    const std::vector<std::uint8_t> compressed = CompressSzdd(data, MissingCharacter(inPath));
    std::ofstream output(outPath, std::ios::binary | std::ios::trunc);
    output.write(reinterpret_cast<const char*>(compressed.data()),
                 static_cast<std::streamsize>(compressed.size()));
    output.close();
    if (!output) {
        err << "opftool compress: cannot write " << outPath << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace opftool
