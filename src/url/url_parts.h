// URL classification and resolution: what a property file's "Filename Url"
// or a control's file request names, and the absolute URL to ask the browser
// for. Pure string logic on 8-bit strings of the system code page; byte
// searches never match the trail byte of a double-byte character.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace urls {

// One string classified and split at its last separator. Strings that end as
// a URL kind or RelativeUrl satisfy FullUrl() == the input.
class UrlParts {
public:
    enum Kind : int32_t {
        FileUrl = 0,
        HttpUrl = 1,
        FtpUrl = 2,
        GopherUrl = 3,
        LocalPath = 4,    // no colon, no forward slash
        DrivePath = 5,    // one character before the first colon
        RelativeUrl = 6,  // no colon, forward slashes only
        InvalidUrl = 7,
    };
    // Why the kind is InvalidUrl; NoError also for an unrecognised scheme.
    enum Error : int32_t {
        NoError = 0,
        WrongSeparator = 1,   // a scheme with backslashes only, or a drive with "/"
        MixedSeparators = 2,  // "/" and "\" in one string
        NoSeparator = 3,      // a scheme with no separator at all
    };

    explicit UrlParts(const std::string& text);

    std::string fileName;   // after the last separator (a bare local name whole)
    std::string directory;  // local path: through the last backslash
    std::string urlPrefix;  // through the last "/"
    std::string drive;      // the drive character, as written
    std::string scheme;     // "HTTP", "FTP", "GOPHER" or "FILE"
    int32_t kind = InvalidUrl;
    int32_t error = NoError;

    std::string FullUrl() const { return urlPrefix + fileName; }
    std::string GetFileName() const { return fileName; }

private:
    void Split(const std::string& text);
    void SplitWithoutSlash(const std::string& text);
    void Invalidate(Error why);
};

// `reference` resolved against `base`: fragments, host-absolute paths and
// leading "../" segments are interpreted; a reference that cannot be resolved
// (a full URL, "//" inside, too many "../", a base without "//") comes back
// unchanged.
std::string ResolveUrl(const std::string& base, const std::string& reference);

// The absolute URL to fetch for `reference`, or nothing for a drive path or an
// invalid string. `base` is a property file's URL through its last "/".
std::optional<std::string> MakeAbsoluteUrl(const std::string& reference, const std::string& base);

}  // namespace urls
