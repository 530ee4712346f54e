// opftool verify: the signature state and publisher of a control file, as
// the plug-in judges the file it has downloaded and expanded.
#include <fstream>

#include <windows.h>

#include "install/control_placement.h"
#include "install/control_signature.h"
#include "install/signature_policy.h"
#include "opftool/command_line.h"
#include "opftool/commands.h"
#include "wide_text.h"

namespace opftool {

namespace {

constexpr char kCommand[] = "verify";

void PrintUsage(std::ostream& out) {
    out << "usage: opftool verify FILE\n\n"
           "Prints the Authenticode signature state of the control file FILE (an\n"
           "LZ-compressed file is expanded first, as the plug-in does), its publisher\n"
           "and what the plug-in does with it on this machine:\n"
           "  trusted    signed by a publisher this machine trusts: installed\n"
           "  unsigned   no signature: the user is asked again\n"
           "  untrusted  the signer is not trusted (untrusted root, expired, revoked):\n"
           "             the user is asked again\n"
           "  tampered   the file does not match its signature: refused\n"
           "With the policy value RequireSignedControls set, unsigned and untrusted\n"
           "files are refused too. Exit status 0 only for a trusted file.\n";
}

bool IsCompressed(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char magic[4] = {};
    file.read(magic, sizeof magic);
    return file && std::string(magic, sizeof magic) == "SZDD";
}

// A file of its own in the temporary directory, deleted when this goes.
struct ScratchFile {
    std::string path;
    ~ScratchFile() {
        if (!path.empty()) ::DeleteFileA(path.c_str());
    }
};

std::string ScratchPath() {
    char directory[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    if (!::GetTempPathA(MAX_PATH, directory) || !::GetTempFileNameA(directory, "opf", 0, path)) return {};
    return path;
}

const char* Outcome(install::SignatureState state, bool required) {
    switch (state) {
    case install::SignatureState::Trusted: return "installed";
    case install::SignatureState::Tampered: return "refused";
    default: return required ? "refused (RequireSignedControls)" : "asked again";
    }
}

}  // namespace

int RunVerify(const Arguments& args, std::ostream& out, std::ostream& err) {
    ParsedArguments parsed;
    if (const auto exit = ReadCommandArguments(args, kCommand, {}, 1, "a control file FILE", PrintUsage,
                                               parsed, out, err)) {
        return *exit;
    }
    const std::string& path = parsed.positional[0];
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        err << "opftool verify: cannot read " << path << "\n";
        return kExitFailure;
    }
    ScratchFile expanded;
    std::string judged = path;
    if (IsCompressed(path)) {
        expanded.path = ScratchPath();
        if (expanded.path.empty() ||
            !install::ExpandLzFile(tooltext::Widen(path), tooltext::Widen(expanded.path))) {
            err << "opftool verify: cannot expand " << path << "\n";
            return kExitFailure;
        }
        judged = expanded.path;
    }
    char full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameA(judged.c_str(), MAX_PATH, full, nullptr);
    const std::string fullPath = length > 0 && length < MAX_PATH ? std::string(full) : judged;
    const install::SignatureVerdict verdict = install::VerifyControlSignature(tooltext::Widen(fullPath));
    out << "signature: " << install::ToString(verdict.state) << "\n";
    if (!verdict.publisher.empty()) out << "publisher: " << tooltext::Narrow(verdict.publisher) << "\n";
    if (!verdict.reason.empty()) out << "reason: " << verdict.reason << "\n";
    out << "plug-in: " << Outcome(verdict.state, install::SignedControlsRequired()) << "\n";
    return verdict.state == install::SignatureState::Trusted ? kExitOk : kExitFailure;
}

}  // namespace opftool
