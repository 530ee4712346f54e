// opftool dump: prints what the plug-in's own reader takes from a property
// file.
#include <optional>
#include <string>

#include "opftool/command_line.h"
#include "opftool/commands.h"
#include "propfile/ole_error.h"
#include "propfile/property_file_layout.h"
#include "propfile/property_file_reader.h"
#include "propfile/storage_file.h"

namespace opftool {

namespace {

constexpr char kCommand[] = "dump";

void PrintUsage(std::ostream& out) {
    out << "usage: opftool dump FILE.opf\n\n"
           "Prints the header values, the control's class identifier and the size of\n"
           "its saved state as the plug-in reads them.\n";
}

std::string FormatHeaderValue(const propfile::HeaderField& field, const propfile::COCXInfo& info) {
    switch (field.kind) {
    case propfile::HeaderValueKind::text:
        return info.*field.text;
    case propfile::HeaderValueKind::integer:
        return std::to_string(info.*field.number);
    case propfile::HeaderValueKind::flag:
        return info.*field.number ? "TRUE" : "FALSE";
    }
    return {};
}

// The size of "Contents" as control activation would open it; none when it
// cannot be opened. Nothing is committed: the file's destructor releases all.
std::optional<ULONGLONG> ContentsSize(const std::string& path) {
    try {
        propfile::CStorageFile file;
        file.Open(path);
        file.EnterStorage(propfile::kObjectPropertySection);
        STATSTG stat{};
        if (!file.OpenChildStream(propfile::kContentsStream, propfile::CStorageFile::kStreamMode) ||
            FAILED(file.GetStream()->Stat(&stat, STATFLAG_NONAME))) {
            return std::nullopt;
        }
        return stat.cbSize.QuadPart;
    } catch (const propfile::OleError&) {
        return std::nullopt;
    }
}

void PrintRecord(const propfile::COCXInfo& info, std::optional<ULONGLONG> contentsSize,
                 std::ostream& out) {
    out << propfile::kBrowserVersionStream << ": " << info.browserVersion << "\n";
    for (const propfile::HeaderField& field : propfile::kHeaderFields) {
        out << field.key << ": " << FormatHeaderValue(field, info) << "\n";
    }
    out << "CLSID: " << info.clsidText << "\n";
    if (contentsSize) {
        out << "Contents: " << *contentsSize << " bytes\n";
    } else {
        out << "Contents: missing\n";
    }
}

}  // namespace

int RunDump(const Arguments& args, std::ostream& out, std::ostream& err) {
    ParsedArguments parsed;
    if (const auto exit = ReadCommandArguments(args, kCommand, {}, 1,
                                               "exactly one property file FILE.opf", PrintUsage,
                                               parsed, out, err)) {
        return *exit;
    }
    const std::string& path = parsed.positional.front();
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        err << "opftool dump: " << path << ": no such file\n";
        return kExitFailure;
    }
    propfile::COCXInfo info;
    if (!propfile::CPropertyFileReader().ReadPropertyFile(path, info)) {
        err << "opftool dump: " << path << " is not an object property file (it must be a "
            << "compound file with \"" << propfile::kHeaderSection << "\" and \""
            << propfile::kObjectPropertySection << "\" holding a class identifier)\n";
        return kExitFailure;
    }
    PrintRecord(info, ContentsSize(path), out);
    return kExitOk;
}

}  // namespace opftool
