#include "propfile/property_file_reader.h"

#include <array>

#include "framework/unique_resource.h"
#include "propfile/ansi_text.h"
#include "propfile/header_value.h"
#include "propfile/ole_error.h"
#include "propfile/property_file_layout.h"
#include "propfile/saved_state.h"
#include "propfile/storage_file.h"

using propfile::HeaderField;
using propfile::HeaderValueKind;

namespace propfile {

namespace {

// The value of the stream `key` of the file's current storage; "" when the
// stream is missing or unreadable.
std::string ReadTextValue(CStorageFile& file, const char* key) {
    std::array<char, propfile::kValueReadLimit> buffer;
    const UINT count = file.ReadValue(key, reinterpret_cast<BYTE*>(buffer.data()),
                                      static_cast<UINT>(buffer.size()));
    return propfile::ValueFromBytes(buffer.data(), count);
}

void StoreHeaderValue(const HeaderField& field, std::string value, COCXInfo& info) {
    switch (field.kind) {
    case HeaderValueKind::text:
        info.*field.text = std::move(value);
        break;
    case HeaderValueKind::integer:
        info.*field.number = propfile::ParseInteger(value.c_str());
        break;
    case HeaderValueKind::flag:
        info.*field.number = propfile::ParseHeaderFlag(value) ? TRUE : FALSE;
        break;
    }
}

}  // namespace

BOOL CPropertyFileReader::ReadPropertyFile(const std::string& path, COCXInfo& info) {
    // The file's destructor releases whatever the walk still held.
    CStorageFile file;
    const BOOL read = ReadPropertyFile(path, info, file);
    if (!file.isOpen()) return FALSE;
    try {
        file.LeaveStorage();
        file.LeaveStorage();
        return read;
    } catch (const propfile::OleError&) {
        return FALSE;
    }
}

BOOL CPropertyFileReader::ReadPropertyFile(const std::string& path, COCXInfo& info,
                                           CStorageFile& file) {
    return ReadOpened([&] { return file.Open(path); }, info, file);
}

BOOL CPropertyFileReader::ReadPropertyBytes(const std::string& bytes, COCXInfo& info,
                                            CStorageFile& file) {
    return ReadOpened([&] { return file.OpenInMemory(bytes); }, info, file);
}

template <typename Open>
BOOL CPropertyFileReader::ReadOpened(Open open, COCXInfo& info, CStorageFile& file) {
    // The storage walk reports refusals as OleError; they end the read here.
    try {
        if (!open()) return FALSE;
        info.browserVersion = ReadTextValue(file, propfile::kBrowserVersionStream);
        file.EnterStorage(propfile::kHeaderSection);
        for (const HeaderField& field : propfile::kHeaderFields) {
            StoreHeaderValue(field, ReadTextValue(file, field.key), info);
        }
        file.LeaveStorage();
        file.EnterStorage(propfile::kObjectPropertySection);
    } catch (const propfile::OleError&) {
        propfile::LeaveSavedState(file);
        return FALSE;
    }
    return ReadControlClass(file.currentStorage(), info);
}

BOOL CPropertyFileReader::ReadControlClass(IStorage* storage, COCXInfo& info) {
    CLSID id = CLSID_NULL;
    if (!ReadStorageClassId(storage, id)) return FALSE;
    info.clsid = id;
    fw::UniqueCoTaskString text;
    if (FAILED(::StringFromCLSID(id, text.put())) || !text) return FALSE;
    info.clsidText = propfile::NarrowToAnsi(text.get());
    return TRUE;
}

}  // namespace propfile
