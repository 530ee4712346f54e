// opftool create: writes an object property file from the command line.
#include <fstream>
#include <iterator>
#include <sstream>

#include "opftool/command_line.h"
#include "opftool/commands.h"
#include "opftool/property_file_builder.h"
#include "propfile/ansi_text.h"
#include "propfile/property_file_layout.h"

namespace opftool {

namespace {

constexpr char kCommand[] = "create";

std::string KnownHeaderKeys() {
    std::string keys;
    for (const propfile::HeaderField& field : propfile::kHeaderFields) {
        keys += std::string(keys.empty() ? "" : ", ") + "\"" + field.key + "\"";
    }
    return keys;
}

void PrintUsage(std::ostream& out) {
    out << "usage: opftool create OUT.opf --clsid {CLSID} [--header \"Key=Value\"]...\n"
           "                      [--browser-version TEXT] [--contents FILE]\n\n"
           "Writes an object property file: the control's class identifier, the header\n"
           "values given (each stored as its text and one zero byte) and the control's\n"
           "saved state from FILE (empty when not given).\n\n"
           "Header keys: "
        << KnownHeaderKeys() << "\n";
}

// Only the braced form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
bool ParseClsid(const std::string& text, CLSID& clsid) {
    if (text.size() != 38 || text.front() != '{') return false;
    return SUCCEEDED(::IIDFromString(propfile::WidenAnsi(text).c_str(), &clsid));
}

bool AddHeader(const std::string& option, PropertyFileContent& content, std::string& error) {
    const std::size_t equals = option.find('=');
    if (equals == std::string::npos) {
        error = "--header expects \"Key=Value\", got \"" + option + "\"";
        return false;
    }
    const std::string key = option.substr(0, equals);
    if (!propfile::FindHeaderField(key)) {
        error = "unknown header key \"" + key + "\"; known keys: " + KnownHeaderKeys();
        return false;
    }
    for (const auto& header : content.headers) {
        if (header.first == key) {
            error = "header key \"" + key + "\" given twice";
            return false;
        }
    }
    content.headers.emplace_back(key, option.substr(equals + 1));
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream buffer;
    buffer << file.rdbuf();
    bytes = buffer.str();
    return !file.bad();
}

// The file's content from the options; FALSE with `error` for a usage error.
bool CollectContent(const ParsedArguments& parsed, PropertyFileContent& content,
                    std::string& error) {
    const std::string* clsid = FindOption(parsed, "--clsid");
    if (!clsid) {
        error = "expected --clsid {CLSID}";
        return false;
    }
    if (!ParseClsid(*clsid, content.clsid)) {
        error = "--clsid expects a class identifier such as "
                "{12345678-9ABC-DEF0-1234-56789ABCDEF0}, got \"" + *clsid + "\"";
        return false;
    }
    for (const auto& [name, value] : parsed.options) {
        if (name == "--header" && !AddHeader(value, content, error)) return false;
    }
    if (const std::string* version = FindOption(parsed, "--browser-version")) {
        content.browserVersion = *version;
    }
    return true;
}

}  // namespace

int RunCreate(const Arguments& args, std::ostream& out, std::ostream& err) {
    ParsedArguments parsed;
    std::string error;
    if (!ParseArguments(args, {"--clsid", "--header", "--browser-version", "--contents"},
                        parsed, error)) {
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
