// URL classification, splitting and resolution.
#include "url/url_parts.h"

#include <array>
#include <string_view>

#include <windows.h>

namespace urls {

namespace {

constexpr size_t npos = std::string_view::npos;

// Index of the character after the one starting at `at`: a lead byte of the
// system code page and its trail byte are one character.
size_t NextChar(std::string_view text, size_t at) {
    if (::IsDBCSLeadByte(static_cast<BYTE>(text[at])) && at + 1 < text.size()) return at + 2;
    return at + 1;
}

// First occurrence of the single-byte text `what` that starts on a character
// boundary at or after `from` (itself a boundary).
size_t FindFirst(std::string_view text, std::string_view what, size_t from = 0) {
    for (size_t at = from; at < text.size(); at = NextChar(text, at)) {
        if (text.substr(at, what.size()) == what) return at;
    }
    return npos;
}

// Last character `what` that starts before `before`.
size_t FindLast(std::string_view text, char what, size_t before = npos) {
    size_t found = npos;
    for (size_t at = 0; at < text.size() && at < before; at = NextChar(text, at)) {
        if (text[at] == what) found = at;
    }
    return found;
}

bool Contains(std::string_view text, std::string_view what) { return FindFirst(text, what) != npos; }

bool EqualsIgnoringAsciiCase(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c) != upper[i]) return false;
    }
    return true;
}

struct Scheme {
    std::string_view name;
    UrlParts::Kind kind;
};
// Compared in this order.
constexpr std::array<Scheme, 4> kSchemes{{{"HTTP", UrlParts::HttpUrl},
                                          {"FTP", UrlParts::FtpUrl},
                                          {"GOPHER", UrlParts::GopherUrl},
                                          {"FILE", UrlParts::FileUrl}}};

const Scheme* MatchScheme(std::string_view prefix) {
    for (const Scheme& scheme : kSchemes) {
        if (EqualsIgnoringAsciiCase(prefix, scheme.name)) return &scheme;
    }
    return nullptr;
}

}  // namespace

UrlParts::UrlParts(const std::string& text) {
    const size_t colon = FindFirst(text, ":");
    if (colon == npos) {
        kind = LocalPath;
        Split(text);
        return;
    }
    const std::string_view prefix = std::string_view(text).substr(0, colon);
    if (const Scheme* known = MatchScheme(prefix)) {
        kind = known->kind;
        scheme = known->name;
        Split(text);
    } else if (prefix.size() == 1) {  // a drive letter is one byte
        kind = DrivePath;
        drive = prefix;
        Split(text);
    }
    // Anything else stays InvalidUrl with no error and is not split.
}

void UrlParts::Split(const std::string& text) {
    const size_t slash = FindLast(text, '/');
    if (slash == npos) {
        SplitWithoutSlash(text);
    } else if (kind == DrivePath) {
        Invalidate(WrongSeparator);
    } else if (Contains(text, "\\")) {
        Invalidate(MixedSeparators);
    } else {
        if (kind == LocalPath) kind = RelativeUrl;
        urlPrefix = text.substr(0, slash + 1);
        fileName = text.substr(slash + 1);
    }
}

void UrlParts::SplitWithoutSlash(const std::string& text) {
    const bool isPath = kind == LocalPath || kind == DrivePath;
    const size_t backslash = FindLast(text, '\\');
    if (backslash == npos) {
        if (isPath) {
            fileName = text;
        } else {
            Invalidate(NoSeparator);
        }
    } else if (!isPath) {
        Invalidate(WrongSeparator);
    } else {
        directory = text.substr(0, backslash + 1);
        fileName = text.substr(backslash + 1);
    }
}

void UrlParts::Invalidate(Error why) {
    kind = InvalidUrl;
    error = why;
}

std::string ResolveUrl(const std::string& base, const std::string& reference) {
    const std::string_view ref = reference;
    if (ref.starts_with('#')) return base.substr(0, FindFirst(base, "#")) + reference;

    const size_t authority = FindFirst(base, "//");
    if (authority == npos) return reference;
    const size_t pathStart = FindFirst(base, "/", authority + 2);
    const std::string host = base.substr(0, pathStart);
    const std::string path = pathStart == npos ? "/" : base.substr(pathStart);

    if (ref.starts_with("//")) return reference;
    if (ref.starts_with('/')) return host + reference;
    if (Contains(ref, "//") || Contains(ref, ":")) return reference;

    size_t end = FindLast(path, '/');
    std::string_view rest = ref;
    while (rest.starts_with("../")) {
        end = FindLast(path, '/', end);
        if (end == npos) return reference;  // more "../" than directories
        rest.remove_prefix(3);
    }
    return host + path.substr(0, end + 1) + std::string(rest);
}

std::optional<std::string> MakeAbsoluteUrl(const std::string& reference, const std::string& base) {
    const UrlParts parts(reference);
    switch (parts.kind) {
        case UrlParts::FileUrl:
        case UrlParts::HttpUrl:
        case UrlParts::FtpUrl:
        case UrlParts::GopherUrl:
            return parts.FullUrl();
        case UrlParts::LocalPath:
        case UrlParts::RelativeUrl:
            return ResolveUrl(base, reference);
        default:
            return std::nullopt;
    }
}

}  // namespace urls
