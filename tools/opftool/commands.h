// opftool's subcommands. Each takes its arguments (after the subcommand's
// name), writes results to `out` and complaints to `err`, and returns the
// process exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace opftool {

using Arguments = std::vector<std::string>;

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailure = 1,  // the work itself failed
    kExitUsage = 2,    // the arguments were not what the command expects
};

using CommandFunction = int (*)(const Arguments& args, std::ostream& out, std::ostream& err);

struct Command {
    const char* name;
    const char* summary;
    CommandFunction run;
};

int RunCapture(const Arguments& args, std::ostream& out, std::ostream& err);
int RunCompress(const Arguments& args, std::ostream& out, std::ostream& err);
int RunCreate(const Arguments& args, std::ostream& out, std::ostream& err);
int RunDump(const Arguments& args, std::ostream& out, std::ostream& err);
int RunVerify(const Arguments& args, std::ostream& out, std::ostream& err);

// The whole program: `args` are the words after the program's name.
int RunOpftool(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace opftool
