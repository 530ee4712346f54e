// nphost's command line: which mode it runs in and with what.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "page_run.h"
#include "property_file_run.h"

namespace nphost {

struct CommandLine {
    enum class Mode { Help, Page, PropertyFile, Wrong };
    Mode mode = Mode::Wrong;
    std::string problem;  // for Mode::Wrong
    PageOptions page;
    PropertyFileOptions propertyFile;
};

CommandLine ParseCommandLine(int argc, char** argv);

}  // namespace nphost
