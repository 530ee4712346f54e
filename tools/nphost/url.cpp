#include "url.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include <windows.h>

namespace nphost {
namespace {

struct Parts {
    std::string scheme;     // without ":"
    bool hasAuthority = false;
    std::string authority;  // without "//"
    std::string path;
    std::string query;      // with "?", if any
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string WithoutFragment(const std::string& url) { return url.substr(0, url.find('#')); }

Parts Split(const std::string& url) {
    Parts parts;
    std::string rest = WithoutFragment(url);
    parts.scheme = SchemeOf(rest);
    if (!parts.scheme.empty()) rest.erase(0, parts.scheme.size() + 1);
    if (rest.compare(0, 2, "//") == 0) {
        parts.hasAuthority = true;
        const std::size_t end = rest.find_first_of("/?", 2);
        parts.authority = rest.substr(2, end == std::string::npos ? std::string::npos : end - 2);
        rest.erase(0, end == std::string::npos ? rest.size() : end);
    }
    const std::size_t question = rest.find('?');
    if (question != std::string::npos) {
        parts.query = rest.substr(question);
        rest.erase(question);
    }
    parts.path = rest;
    return parts;
}

// Removes "." and ".." segments; ".." at the root is dropped.
std::string RemoveDotSegments(const std::string& path) {
    std::vector<std::string> segments;
    std::size_t start = 0;
    const bool absolute = !path.empty() && path[0] == '/';
    if (absolute) start = 1;
    bool endsWithDirectory = false;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::string segment =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        const bool last = slash == std::string::npos;
        if (segment == ".") {
            endsWithDirectory = last;
        } else if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
            endsWithDirectory = last;
        } else {
            segments.push_back(segment);
            endsWithDirectory = false;
        }
        if (last) break;
        start = slash + 1;
    }
    std::string result = absolute ? "/" : "";
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i) result += '/';
        result += segments[i];
    }
    if (endsWithDirectory && !segments.empty()) result += '/';
    return result;
}

std::string Join(const Parts& parts) {
    std::string url = parts.scheme + ":";
    if (parts.hasAuthority) url += "//" + parts.authority;
    return url + parts.path + parts.query;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string SchemeOf(const std::string& url) {
    // A scheme is a letter followed by letters, digits, "+", "-" or "." up to
    // ":"; a single letter is a drive ("C:"), not a scheme.
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0]))) return {};
    for (std::size_t i = 1; i < url.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (c == ':') return i >= 2 ? Lower(url.substr(0, i)) : std::string();
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
    }
    return {};
}

std::string ResolveUrl(const std::string& base, const std::string& reference) {
    if (!SchemeOf(reference).empty()) return reference;
    const Parts baseParts = Split(base);
    const std::string ref = WithoutFragment(reference);
    Parts result = baseParts;
    if (ref.compare(0, 2, "//") == 0) return baseParts.scheme + ":" + ref;
    if (ref.empty()) return Join(result);
    const std::size_t question = ref.find('?');
    const std::string refPath = ref.substr(0, question);
    const std::string refQuery = question == std::string::npos ? "" : ref.substr(question);
    if (refPath.empty()) {
        result.query = refQuery;
    } else if (refPath[0] == '/') {
        result.path = RemoveDotSegments(refPath);
        result.query = refQuery;
    } else {
        const std::size_t slash = baseParts.path.rfind('/');
        std::string directory = slash == std::string::npos ? "" : baseParts.path.substr(0, slash + 1);
        if (directory.empty() && baseParts.hasAuthority) directory.push_back('/');
        result.path = RemoveDotSegments(directory + refPath);
        result.query = refQuery;
    }
    return Join(result);
}

std::string FileUrlFromPath(const std::string& path) {
    char full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return {};
    std::string url = "file:///";
    for (const char* p = full; *p; ++p) {
        const char c = *p;
        if (c == '\\') {
            url += '/';
        } else if (c == ' ' || c == '%' || c == '#' || c == '?') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            url += escaped;
        } else {
            url += c;
        }
    }
    return url;
}

std::optional<std::string> PathFromFileUrl(const std::string& url) {
    if (SchemeOf(url) != "file") return std::nullopt;
    std::string rest = WithoutFragment(url.substr(5));
    rest = rest.substr(0, rest.find('?'));
    if (rest.compare(0, 11, "//localhost") == 0) rest.erase(0, 11);
    else if (rest.compare(0, 2, "//") == 0) rest.erase(0, 2);
    while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
    std::string path = PercentDecode(rest);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    if (path.empty()) return std::nullopt;
    return path;
}

}  // namespace nphost
