// opftool capture: makes a property file for an installed control from the
// state the control itself saves when new.
#include <sstream>
#include <string>

#include <ocidl.h>
#include <wrl/client.h>

#include "install/control_registry_entry.h"
#include "opftool/command_line.h"
#include "opftool/commands.h"
#include "opftool/content_options.h"
#include "opftool/property_file_builder.h"

using Microsoft::WRL::ComPtr;

namespace opftool {

namespace {

constexpr char kCommand[] = "capture";
constexpr char kProductVersionKey[] = "Product Version";

void PrintUsage(std::ostream& out) {
    out << "usage: opftool capture OUT.opf --clsid {CLSID} [--header \"Key=Value\"]...\n"
           "                       [--browser-version TEXT] [--state new|empty]\n\n"
           "Creates the installed control, asks it for its state as a new control\n"
           "(InitNew, then Save) and writes a property file with that state as\n"
           "\"Contents\". With --state empty the control is not created and\n"
           "\"Contents\" is left empty (the plug-in starts such a control as new).\n"
           "Without a \"Product Version\" header the installed control's product\n"
           "version is written, so that the plug-in finds it installed.\n\n"
           "Header keys: "
        << KnownHeaderKeys() << "\n";
}

std::string HexStatus(HRESULT status) {
    std::ostringstream text;
    text << "0x" << std::hex << static_cast<unsigned long>(status);
    return text.str();
}

// The state the control saves right after InitNew. FALSE when it cannot save
// its state; `why` says what refused.
bool SaveNewState(IUnknown* control, std::string& state, std::string& why) {
    ComPtr<IPersistStreamInit> persist;
    if (FAILED(control->QueryInterface(IID_PPV_ARGS(&persist)))) {
        why = "it has no IPersistStreamInit";
        return false;
    }
    ComPtr<IStream> stream;
    // Some controls save a default state without a working InitNew.
    const HRESULT initialised = persist->InitNew();
    HRESULT hr = ::CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (SUCCEEDED(hr)) {
        hr = persist->Save(stream.Get(), TRUE);
        if (FAILED(hr)) why = "Save failed with " + HexStatus(hr);
        if (FAILED(hr) && FAILED(initialised)) why += " after InitNew failed with " + HexStatus(initialised);
    }
    STATSTG stat = {};
    if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
    const LARGE_INTEGER start = {};
    if (SUCCEEDED(hr)) hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (SUCCEEDED(hr)) {
        state.assign(static_cast<std::size_t>(stat.cbSize.QuadPart), '\0');
        ULONG read = 0;
        hr = stream->Read(state.data(), static_cast<ULONG>(state.size()), &read);
        if (SUCCEEDED(hr)) state.resize(read);
    }
    if (FAILED(hr)) {
        if (why.empty()) why = "its saved state could not be read back";
        state.clear();
        return false;
    }
    return true;
}

bool HasHeader(const PropertyFileContent& content, const std::string& key) {
    for (const auto& header : content.headers) {
        if (header.first == key) return true;
    }
    return false;
}

// The control's own state as a new control, into content.contents.
int CaptureNewState(PropertyFileContent& content, std::ostream& err) {
    ComPtr<IUnknown> control;
    const HRESULT created = ::CoCreateInstance(content.clsid, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_PPV_ARGS(&control));
    if (FAILED(created)) {
        err << "opftool capture: the control cannot be created (error 0x" << std::hex
            << static_cast<unsigned long>(created) << std::dec << "); is it installed?\n";
        return kExitFailure;
    }
    std::string why;
    if (!SaveNewState(control.Get(), content.contents, why)) {
        err << "opftool capture: warning: the control cannot save its state (" << why
            << "); \"Contents\" is left empty\n";
    }
    return kExitOk;
}

}  // namespace

int RunCapture(const Arguments& args, std::ostream& out, std::ostream& err) {
    ParsedArguments parsed;
    PropertyFileContent content;
    if (const auto exit = ReadWritingArguments(args, kCommand, {"--state"}, PrintUsage, parsed,
                                               content, out, err)) {
        return *exit;
    }
    const std::string* state = FindOption(parsed, "--state");
    if (state && *state != "new" && *state != "empty") {
        return ReportUsageError(err, kCommand, "--state expects new or empty, got \"" + *state + "\"");
    }
    if (!state || *state == "new") {
        if (const int status = CaptureNewState(content, err); status != kExitOk) return status;
    }

    if (!HasHeader(content, kProductVersionKey)) {
        install::ControlRegistryEntry registry;
        registry.IsInstalled(content.clsid, "");
        const std::string version =
            registry.serverPath.empty()
                ? std::string()
                : install::ControlRegistryEntry::GetProductVersion(registry.serverPath);
        if (!version.empty()) content.headers.emplace_back(kProductVersionKey, version);
    }

    const std::string& outPath = parsed.positional.front();
    if (const int status = WritePropertyFile(outPath, content, kCommand, err); status != kExitOk) {
        return status;
    }
    out << "opftool capture: wrote " << outPath << " (" << content.contents.size()
        << " bytes of saved state)\n";
    return kExitOk;
}

}  // namespace opftool
