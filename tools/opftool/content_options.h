// The options with which the writing commands describe a property file:
// --clsid {CLSID}, --header "Key=Value" (repeatable), --browser-version TEXT.
#pragma once

#include <string>
#include <vector>

#include "opftool/command_line.h"
#include "opftool/property_file_builder.h"

namespace opftool {

extern const std::vector<std::string> kContentOptions;

// The header keys a property file knows, quoted and comma-separated.
std::string KnownHeaderKeys();

// Fills `content`'s class identifier, headers and browser version from the
// options; FALSE with `error` for a usage error.
bool CollectContent(const ParsedArguments& parsed, PropertyFileContent& content,
                    std::string& error);

}  // namespace opftool
