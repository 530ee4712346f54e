#include "opftool/content_options.h"

#include "wide_text.h"
#include "propfile/property_file_layout.h"

namespace opftool {

const std::vector<std::string> kContentOptions = {"--clsid", "--header", "--browser-version"};

namespace {

// Only the braced form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
bool ParseClsid(const std::string& text, CLSID& clsid) {
    if (text.size() != 38 || text.front() != '{') return false;
    return SUCCEEDED(::IIDFromString(tooltext::Widen(text).c_str(), &clsid));
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

}  // namespace

std::string KnownHeaderKeys() {
    std::string keys;
    for (const propfile::HeaderField& field : propfile::kHeaderFields) {
        keys += std::string(keys.empty() ? "" : ", ") + "\"" + field.key + "\"";
    }
    return keys;
}

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

std::optional<int> ReadWritingArguments(const Arguments& args, const char* command,
                                        const std::vector<std::string>& extraOptions,
                                        void (*printUsage)(std::ostream&), ParsedArguments& parsed,
                                        PropertyFileContent& content, std::ostream& out,
                                        std::ostream& err) {
    std::vector<std::string> options = kContentOptions;
    options.insert(options.end(), extraOptions.begin(), extraOptions.end());
    if (const auto exit = ReadCommandArguments(args, command, options, 1,
                                               "exactly one output file OUT.opf", printUsage,
                                               parsed, out, err)) {
        return exit;
    }
    std::string error;
    if (!CollectContent(parsed, content, error)) return ReportUsageError(err, command, error);
    return std::nullopt;
}

int WritePropertyFile(const std::string& path, const PropertyFileContent& content,
                      const char* command, std::ostream& err) {
    const HRESULT status = WriteCompoundFile(path, BuildPropertyFile(content));
    if (SUCCEEDED(status)) return kExitOk;
    err << "opftool " << command << ": cannot write " << path << " (OLE error 0x" << std::hex
        << static_cast<unsigned long>(status) << std::dec << ")\n";
    return kExitFailure;
}

}  // namespace opftool
