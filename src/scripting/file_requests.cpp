#include "scripting/file_requests.h"

#include <utility>

namespace scripting {

void FileRequestQueue::Note(std::string absoluteUrl, int32_t requestId) {
    pending_.push_front({std::move(absoluteUrl), requestId});
}

std::optional<int32_t> FileRequestQueue::Take(const std::string& url) {
    for (auto request = pending_.begin(); request != pending_.end(); ++request) {
        if (request->url != url) continue;
        const int32_t requestId = request->requestId;
        pending_.erase(request);
        return requestId;
    }
    return std::nullopt;
}

}  // namespace scripting
