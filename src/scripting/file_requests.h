// The control's outstanding file requests, newest first: noted before the
// browser is asked (it may deliver from inside the request), taken off when
// the file arrives or the browser ends the request.
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
    // The token the browser's answer carries; 0 when the browser binds no
    // answer to the request (then the URL is matched).
    std::uintptr_t token = 0;
};

class FileRequestQueue {
public:
    void Note(std::string absoluteUrl, int32_t requestId, std::uintptr_t token = 0);
    // The number of the newest request without a token for exactly `url`,
    // taken off the queue; older ones wait for their own delivery. Nothing
    // when none asked for it.
    std::optional<int32_t> Take(const std::string& url);
    // The number of the request carrying `token` (non-zero), taken off the
    // queue; nothing when no request carries it (it was answered or ended).
    std::optional<int32_t> TakeToken(std::uintptr_t token);
    const std::list<PendingRequest>& Pending() const { return pending_; }

private:
    std::list<PendingRequest> pending_;  // newest first
};

}  // namespace scripting
