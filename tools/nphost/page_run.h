// nphost's page mode: reads a page, finds the plug-in for its embeds, makes
// one instance per embed in a page window, fetches every URL relative to the
// page, runs for a while and tears everything down.
#pragma once

#include <optional>
#include <string>

#include "warning_answerer.h"

namespace nphost {

struct PageOptions {
    std::string page;                    // a local path or a file:/http: URL
    std::string plugin;                  // empty: found by MIME type
    std::optional<WarningAnswer> answer;  // none: the person answers
    std::string screenshot;              // empty: none; else also OUT-warning.png
    double runForSeconds = 2.0;
};

// Returns the process exit status: 0 when the page ran and every URL could
// be fetched, 1 otherwise (with the reasons on stderr).
int RunPage(const PageOptions& options);

}  // namespace nphost
