// The control's outstanding file requests, newest first: noted before the
// browser is asked (it may deliver from inside the request), taken off when
// the file arrives.
#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <string>

namespace scripting {

// One outstanding URL request of the control.
struct PendingRequest {
    std::string url;    // the absolute URL exactly as passed to the browser
    int32_t requestId;  // the control's own number, returned unchanged
};

class FileRequestQueue {
public:
    void Note(std::string absoluteUrl, int32_t requestId);
    // The number of the newest request for exactly `url`, taken off the
    // queue; older ones wait for their own delivery. Nothing when none asked
    // for it.
    std::optional<int32_t> Take(const std::string& url);
    const std::list<PendingRequest>& Pending() const { return pending_; }

private:
    std::list<PendingRequest> pending_;  // newest first
};

}  // namespace scripting
