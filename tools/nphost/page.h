// What the host reads from a page: its <embed> elements, and where each one
// goes in the page window.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace nphost {

// One <embed>: its attributes in page order, names as written, values with
// the character references decoded. A repeated attribute keeps its first
// value (later ones are dropped, as HTML parsers do).
struct Embed {
    std::vector<std::pair<std::string, std::string>> attributes;

    // The value of the attribute `name` (compared without regard to case).
    std::optional<std::string> Get(const std::string& name) const;
};

// Every <embed> of `html` in page order. Comments and script texts are
// skipped; an element whose tag is never closed with ">" is ignored.
std::vector<Embed> ParseEmbeds(const std::string& html);

// A <script>: its src attribute (empty for an inline script) and its text.
struct Script {
    std::string src;
    std::string text;
};

// Every <script> of `html` in page order, with its text up to "</script".
// Comments outside scripts are skipped; a script that never ends is ignored.
std::vector<Script> ParseScripts(const std::string& html);

// Where each embed sits in the page window's client area.
struct Placement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct PageLayout {
    std::vector<Placement> places;
    int width = 0;   // client area of the page window
    int height = 0;
};

// Embeds flow left to right with a margin of kPageMargin pixels around and
// between them, and start a new row when the next one would pass
// kPageMaxWidth. Width and height come from the embed's attributes (decimal,
// as the plug-in reads them); missing or unreadable ones count as 100, and
// sizes are kept within 1..4096 so that the window can be made.
constexpr int kPageMargin = 8;
constexpr int kPageMaxWidth = 1024;
PageLayout LayOut(const std::vector<Embed>& embeds);

}  // namespace nphost
