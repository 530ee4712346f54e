#include "opftool/command_line.h"

#include <algorithm>

namespace opftool {

namespace {

std::string OptionList(const std::vector<std::string>& valueOptions) {
    std::string list;
    for (const std::string& option : valueOptions) list += option + ", ";
    return list + "--help";
}

}  // namespace

bool ParseArguments(const Arguments& args, const std::vector<std::string>& valueOptions,
                    ParsedArguments& parsed, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--help" || word == "-h") {
            parsed.help = true;
        } else if (std::find(valueOptions.begin(), valueOptions.end(), word) !=
                   valueOptions.end()) {
            if (i + 1 == args.size()) {
                error = word + " expects a value after it";
                return false;
            }
            parsed.options.emplace_back(word, args[++i]);
        } else if (word.size() > 1 && word[0] == '-') {
            error = "unknown option " + word + " (expected one of: " + OptionList(valueOptions) + ")";
            return false;
        } else {
            parsed.positional.push_back(word);
        }
    }
    return true;
}

const std::string* FindOption(const ParsedArguments& parsed, const std::string& option) {
    const std::string* found = nullptr;
    for (const auto& [name, value] : parsed.options) {
        if (name == option) found = &value;
    }
    return found;
}

}  // namespace opftool

namespace opftool {

int ReportUsageError(std::ostream& err, const char* command, const std::string& message) {
    err << "opftool " << command << ": " << message << "\n"
        << "run \"opftool " << command << " --help\" for its usage\n";
    return kExitUsage;
}

std::optional<int> ReadCommandArguments(const Arguments& args, const char* command,
                                        const std::vector<std::string>& valueOptions,
                                        std::size_t positionalCount, const char* positionalHint,
                                        void (*printUsage)(std::ostream&), ParsedArguments& parsed,
                                        std::ostream& out, std::ostream& err) {
    std::string error;
    if (!ParseArguments(args, valueOptions, parsed, error)) return ReportUsageError(err, command, error);
    if (parsed.help) {
        printUsage(out);
        return kExitOk;
    }
    if (parsed.positional.size() != positionalCount) {
        return ReportUsageError(err, command, std::string("expected ") + positionalHint);
    }
    return std::nullopt;
}

}  // namespace opftool
