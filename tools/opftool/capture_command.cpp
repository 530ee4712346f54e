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
           "                       [--browser-version TEXT]\n\n"
           "Creates the installed control, asks it for its state as a new control\n"
           "(InitNew, then Save) and writes a property file with that state as\n"
           "\"Contents\". Without a \"Product Version\" header the installed control's\n"
           "product version is written, so that the plug-in finds it installed.\n\n"
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

}  // namespace

int RunCapture(const Arguments& args, std::ostream& out, std::ostream& err) {
    ParsedArguments parsed;
    PropertyFileContent content;
    if (const auto exit =
            ReadWritingArguments(args, kCommand, {}, PrintUsage, parsed, content, out, err)) {
        return *exit;
    }

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
    control.Reset();

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
