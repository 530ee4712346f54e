// The options with which the writing commands describe a property file:
// --clsid {CLSID}, --header "Key=Value" (repeatable), --browser-version TEXT.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "opftool/command_line.h"
#include "opftool/property_file_builder.h"

namespace opftool {

extern const std::vector<std::string> kContentOptions;

// The header keys a property file knows, quoted and comma-separated.
std::string KnownHeaderKeys();

// Reads the words of a command that writes one property file OUT.opf:
// `extraOptions` besides the content options. Returns the exit status to end
// with when the words asked for help (printed with `printUsage`) or did not
// fit (reported on `err`); nothing when the command goes on.
std::optional<int> ReadWritingArguments(const Arguments& args, const char* command,
                                        const std::vector<std::string>& extraOptions,
                                        void (*printUsage)(std::ostream&), ParsedArguments& parsed,
                                        PropertyFileContent& content, std::ostream& out,
                                        std::ostream& err);

// Writes the file; on failure says so on `err` and returns kExitFailure.
int WritePropertyFile(const std::string& path, const PropertyFileContent& content,
                      const char* command, std::ostream& err);

// Fills `content`'s class identifier, headers and browser version from the
// options; FALSE with `error` for a usage error.
bool CollectContent(const ParsedArguments& parsed, PropertyFileContent& content,
                    std::string& error);

}  // namespace opftool
