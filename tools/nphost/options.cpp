#include "options.h"

#include <cstdlib>

namespace nphost {
namespace {

bool IsPropertyFile(const std::string& name) {
    return name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".opf") == 0;
}

CommandLine Wrong(std::string problem) {
    CommandLine wrong;
    wrong.problem = std::move(problem);
    return wrong;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    std::string plugin;
    std::string file;
    double runFor = 1.0;
    bool runForGiven = false;
    bool immediate = false;
    std::vector<std::pair<std::string, std::string>> arguments;
    line.page.answer = WarningAnswer::No;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            line.mode = CommandLine::Mode::Help;
            return line;
        }
        if (arg == "--plugin" && i + 1 < argc) {
            plugin = argv[++i];
        } else if (arg == "--immediate") {
            immediate = true;
        } else if (arg == "--run-for" && i + 1 < argc) {
            runFor = std::atof(argv[++i]);
            runForGiven = true;
            if (!(runFor >= 0 && runFor <= 86400)) return Wrong("--run-for expects 0..86400 seconds");
        } else if (arg == "--answer" && i + 1 < argc) {
            const std::string answer = argv[++i];
            if (answer == "yes") line.page.answer = WarningAnswer::Yes;
            else if (answer == "no") line.page.answer = WarningAnswer::No;
            else if (answer == "ask") line.page.answer.reset();
            else return Wrong("--answer expects yes, no or ask");
        } else if (arg == "--screenshot" && i + 1 < argc) {
            line.page.screenshot = argv[++i];
        } else if (arg == "--arg" && i + 1 < argc) {
            const std::string pair = argv[++i];
            const std::size_t equals = pair.find('=');
            if (equals == std::string::npos) return Wrong("--arg expects NAME=VALUE");
            arguments.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
        } else if (!arg.empty() && arg[0] != '-' && file.empty()) {
            file = arg;
        } else {
            return Wrong("unexpected argument: " + arg);
        }
    }
    if (file.empty()) return Wrong("a page or a property file is required");
    if (!IsPropertyFile(file)) {
        if (immediate || !arguments.empty()) return Wrong("--immediate and --arg are for a FILE.opf");
        line.mode = CommandLine::Mode::Page;
        line.page.page = file;
        line.page.plugin = plugin;
        if (runForGiven) line.page.runForSeconds = runFor;
        return line;
    }
    if (plugin.empty()) return Wrong("--plugin DLL is required");
    line.mode = CommandLine::Mode::PropertyFile;
    line.propertyFile = {plugin, file, std::move(arguments), immediate, runFor};
    return line;
}

}  // namespace nphost
