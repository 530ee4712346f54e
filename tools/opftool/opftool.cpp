#include <iterator>

#include "opftool/commands.h"

namespace opftool {

namespace {

// Later subcommands join this table.
constexpr Command kCommands[] = {
    {"create", "write an object property file", RunCreate},
    {"capture", "write a property file for an installed control from its own state", RunCapture},
    {"dump", "print what the plug-in reads from an object property file", RunDump},
    {"compress", "write a control file in the LZ-compressed (SZDD) format", RunCompress},
    {"verify", "print a control file's signature state and publisher as the plug-in judges it",
     RunVerify},
};

void PrintUsage(std::ostream& stream) {
    stream << "usage: opftool COMMAND [ARGUMENTS]\n"
              "       opftool COMMAND --help\n"
              "       opftool --version\n\ncommands:\n";
    for (const Command& command : kCommands) {
        stream << "  " << command.name << "\t" << command.summary << "\n";
    }
}

}  // namespace

int RunOpftool(const Arguments& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << "opftool: expected a command\n";
        PrintUsage(err);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(out);
        return kExitOk;
    }
    if (args[0] == "--version") {
        out << "opftool " NPTRV_VERSION "\n";
        return kExitOk;
    }
    for (const Command& command : kCommands) {
        if (args[0] == command.name) {
            return command.run(Arguments(std::next(args.begin()), args.end()), out, err);
        }
    }
    err << "opftool: unknown command \"" << args[0] << "\"\n";
    PrintUsage(err);
    return kExitUsage;
}

}  // namespace opftool
