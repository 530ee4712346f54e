#include "scripting/file_requests.h"

#include <utility>

namespace scripting {

namespace {

template <typename Matches>
std::optional<int32_t> TakeFirst(std::list<PendingRequest>& pending, Matches matches) {
    for (auto request = pending.begin(); request != pending.end(); ++request) {
        if (!matches(*request)) continue;
        const int32_t requestId = request->requestId;
        pending.erase(request);
        return requestId;
    }
    return std::nullopt;
}

}  // namespace

void FileRequestQueue::Note(std::string absoluteUrl, int32_t requestId, std::uintptr_t token) {
    pending_.push_front({std::move(absoluteUrl), requestId, token});
}

std::optional<int32_t> FileRequestQueue::Take(const std::string& url) {
    return TakeFirst(pending_,
                     [&](const PendingRequest& r) { return r.token == 0 && r.url == url; });
}

std::optional<int32_t> FileRequestQueue::TakeToken(std::uintptr_t token) {
    if (token == 0) return std::nullopt;
    return TakeFirst(pending_, [&](const PendingRequest& r) { return r.token == token; });
}

}  // namespace scripting
