// Splitting a subcommand's words into positional arguments and options.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "opftool/commands.h"

namespace opftool {

struct ParsedArguments {
    bool help = false;  // --help or -h was given
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;  // in the order given
};

// Every option in `valueOptions` takes the next word as its value; any other
// word starting with "--" is refused. FALSE with `error` saying what was
// expected when the words do not fit.
bool ParseArguments(const Arguments& args, const std::vector<std::string>& valueOptions,
                    ParsedArguments& parsed, std::string& error);

// The last value given for `option`, or null.
const std::string* FindOption(const ParsedArguments& parsed, const std::string& option);

}  // namespace opftool

namespace opftool {

// Reads a command's words: `valueOptions` as for ParseArguments and exactly
// `positionalCount` positional words (`positionalHint` says which when they
// are not). Returns the exit status to end with when the words asked for
// help (printed with `printUsage`) or did not fit (reported on `err`);
// nothing when the command goes on.
std::optional<int> ReadCommandArguments(const Arguments& args, const char* command,
                                        const std::vector<std::string>& valueOptions,
                                        std::size_t positionalCount, const char* positionalHint,
                                        void (*printUsage)(std::ostream&), ParsedArguments& parsed,
                                        std::ostream& out, std::ostream& err);

// Writes "opftool COMMAND: MESSAGE" and a pointer to the command's --help to
// `err`; returns kExitUsage.
int ReportUsageError(std::ostream& err, const char* command, const std::string& message);

}  // namespace opftool
