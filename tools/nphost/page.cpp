#include "page.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace nphost {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsWithNoCase(const std::string& text, std::size_t at, const char* prefix) {
    for (std::size_t i = 0; prefix[i]; ++i) {
        if (at + i >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Decodes &amp; &lt; &gt; &quot; &apos; and numeric references (&#65; &#x41;);
// anything else stays as written.
std::string DecodeEntities(const std::string& text) {
    static const std::pair<const char*, char> named[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t semicolon = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (semicolon == std::string::npos || semicolon - i > 10) {
            out += text[i];
            continue;
        }
        const std::string name = text.substr(i + 1, semicolon - i - 1);
        bool decoded = false;
        for (const auto& [entity, c] : named) {
            if (EqualNoCase(name, entity)) {
                out += c;
                decoded = true;
            }
        }
        if (!decoded && name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string digits = name.substr(hex ? 2 : 1);
            char* end = nullptr;
            const long code = std::strtol(digits.c_str(), &end, hex ? 16 : 10);
            if (!digits.empty() && *end == '\0' && code > 0 && code < 256) {
                out += static_cast<char>(code);
                decoded = true;
            }
        }
        if (decoded) {
            i = semicolon;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Reads the attributes of a tag from `at` (just after the tag name) up to its
// ">"; returns the position after ">", or npos if the tag never closes.
std::size_t ReadAttributes(const std::string& html, std::size_t at, Embed& embed) {
    while (at < html.size()) {
        while (at < html.size() && (IsBlank(html[at]) || html[at] == '/')) ++at;
        if (at >= html.size()) break;
        if (html[at] == '>') return at + 1;
        const std::size_t nameStart = at;
        while (at < html.size() && !IsBlank(html[at]) && html[at] != '=' && html[at] != '>' &&
               !(html[at] == '/' && at > nameStart)) {
            ++at;
        }
        const std::string name = html.substr(nameStart, at - nameStart);
        std::size_t look = at;
        while (look < html.size() && IsBlank(html[look])) ++look;
        std::string value;
        if (look < html.size() && html[look] == '=') {
            at = look + 1;
            while (at < html.size() && IsBlank(html[at])) ++at;
            if (at < html.size() && (html[at] == '"' || html[at] == '\'')) {
                const std::size_t close = html.find(html[at], at + 1);
                if (close == std::string::npos) return std::string::npos;
                value = html.substr(at + 1, close - at - 1);
                at = close + 1;
            } else {
                const std::size_t valueStart = at;
                while (at < html.size() && !IsBlank(html[at]) && html[at] != '>') ++at;
                value = html.substr(valueStart, at - valueStart);
            }
        }
        if (!name.empty() && !embed.Get(name)) embed.attributes.emplace_back(name, DecodeEntities(value));
    }
    return std::string::npos;
}

// Whether a tag named `name` (lower case) starts at `at`.
bool IsTag(const std::string& html, std::size_t at, const char* name) {
    const std::size_t after = at + 1 + std::char_traits<char>::length(name);
    return StartsWithNoCase(html, at + 1, name) &&
           (after >= html.size() || IsBlank(html[after]) || html[after] == '>' || html[after] == '/');
}

// Where the "</script" that ends a script text begun at `from` is, or npos.
std::size_t ScriptEnd(const std::string& html, std::size_t from) {
    for (std::size_t at = html.find("</", from); at != std::string::npos; at = html.find("</", at + 2)) {
        if (StartsWithNoCase(html, at + 2, "script")) return at;
    }
    return std::string::npos;
}

// Calls `visit(isScript, attributes, scriptText)` for each <embed> and
// <script> in page order, outside comments; script texts hold no elements.
// Stops at an unterminated comment, tag or script.
template <typename Visit>
void ForEachElement(const std::string& html, Visit&& visit) {
    std::size_t at = 0;
    while ((at = html.find('<', at)) != std::string::npos) {
        if (html.compare(at, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", at + 4);
            if (end == std::string::npos) return;
            at = end + 3;
            continue;
        }
        const bool script = IsTag(html, at, "script");
        if (!script && !IsTag(html, at, "embed")) {
            ++at;
            continue;
        }
        Embed attributes;
        const std::size_t end = ReadAttributes(html, at + (script ? 7 : 6), attributes);
        if (end == std::string::npos) return;
        if (!script) {
            visit(false, std::move(attributes), std::string());
            at = end;
            continue;
        }
        const std::size_t close = ScriptEnd(html, end);
        if (close == std::string::npos) return;
        visit(true, std::move(attributes), html.substr(end, close - end));
        at = close + 2;
    }
}

int SizeOf(const Embed& embed, const char* name) {
    const std::optional<std::string> text = embed.Get(name);
    if (!text) return 100;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (end == text->c_str()) return 100;
    return static_cast<int>(std::clamp<long>(value, 1, 4096));
}

}  // namespace

std::optional<std::string> Embed::Get(const std::string& name) const {
    for (const auto& [key, value] : attributes) {
        if (EqualNoCase(key, name)) return value;
    }
    return std::nullopt;
}

std::vector<Embed> ParseEmbeds(const std::string& html) {
    std::vector<Embed> embeds;
    ForEachElement(html, [&](bool script, Embed attributes, const std::string&) {
        if (!script) embeds.push_back(std::move(attributes));
    });
    return embeds;
}

std::vector<Script> ParseScripts(const std::string& html) {
    std::vector<Script> scripts;
    ForEachElement(html, [&](bool script, Embed attributes, std::string text) {
        if (script) scripts.push_back({attributes.Get("src").value_or(""), std::move(text)});
    });
    return scripts;
}

PageLayout LayOut(const std::vector<Embed>& embeds) {
    PageLayout layout;
    int x = kPageMargin;
    int y = kPageMargin;
    int rowHeight = 0;
    for (const Embed& embed : embeds) {
        Placement place{0, 0, SizeOf(embed, "width"), SizeOf(embed, "height")};
        if (x > kPageMargin && x + place.width + kPageMargin > kPageMaxWidth) {
            x = kPageMargin;
            y += rowHeight + kPageMargin;
            rowHeight = 0;
        }
        place.x = x;
        place.y = y;
        x += place.width + kPageMargin;
        rowHeight = std::max(rowHeight, place.height);
        layout.width = std::max(layout.width, x);
        layout.height = std::max(layout.height, y + rowHeight + kPageMargin);
        layout.places.push_back(place);
    }
    if (embeds.empty()) layout.width = layout.height = 2 * kPageMargin;
    return layout;
}

}  // namespace nphost
