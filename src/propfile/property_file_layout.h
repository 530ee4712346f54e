// The layout of an object property file: the names of its storages and
// streams, and the header values with the record field each one fills.
//
//   (root)                     "Browser Version" stream
//     "Header Section"         one value stream per entry of kHeaderFields
//     "Object Property Section" class identifier of the control, "Contents"
//
// A value stream holds ANSI text followed by one zero byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "propfile/ocx_info.h"

namespace propfile {

inline constexpr char kBrowserVersionStream[] = "Browser Version";
inline constexpr char kHeaderSection[] = "Header Section";
inline constexpr char kObjectPropertySection[] = "Object Property Section";
inline constexpr char kContentsStream[] = "Contents";

// The reader looks at no more than this many bytes of a value stream.
inline constexpr std::size_t kValueReadLimit = 256;

enum class HeaderValueKind {
    text,     // taken as it is
    integer,  // decimal text converted as atoi does
    flag,     // TRUE exactly when the text is "TRUE"
};

static_assert(std::is_same_v<BOOL, int32_t>, "flags and integers share one field type");

struct HeaderField {
    const char* key;
    HeaderValueKind kind;
    std::string COCXInfo::*text;  // for text values
    int32_t COCXInfo::*number;    // for integers and flags
};

// The value streams of "Header Section", in the order they are read.
inline constexpr HeaderField kHeaderFields[] = {
    {"Company Name", HeaderValueKind::text, &COCXInfo::companyName, nullptr},
    {"File Description", HeaderValueKind::text, &COCXInfo::fileDescription, nullptr},
    {"Legal Copyright", HeaderValueKind::text, &COCXInfo::legalCopyright, nullptr},
    {"Legal Trademarks", HeaderValueKind::text, &COCXInfo::legalTrademarks, nullptr},
    {"Product Name", HeaderValueKind::text, &COCXInfo::productName, nullptr},
    {"Product Version", HeaderValueKind::text, &COCXInfo::productVersion, nullptr},
    {"Filename Url", HeaderValueKind::text, &COCXInfo::filenameUrl, nullptr},
    {"License Url", HeaderValueKind::text, &COCXInfo::licenseUrl, nullptr},
    {"Width", HeaderValueKind::integer, nullptr, &COCXInfo::headerWidth},
    {"Height", HeaderValueKind::integer, nullptr, &COCXInfo::headerHeight},
    {"IsCompressed", HeaderValueKind::flag, nullptr, &COCXInfo::isCompressed},
};

// The field of `kHeaderFields` named `key`, or null.
const HeaderField* FindHeaderField(const std::string& key);

}  // namespace propfile
