// The browser's network side: brings the content of a file: or http: URL
// into a local file. file: URLs are answered with the file itself; http:
// (and https:) URLs are downloaded through the platform's internet client
// (WinINet) into a directory of temporary files that the Fetcher owns and
// empties when it goes. Every network wait is bounded by kFetchTimeoutMs,
// and a whole download by kDownloadLimitMs.
#pragma once

#include <string>
#include <vector>

namespace nphost {

inline constexpr unsigned long kFetchTimeoutMs = 15000;
inline constexpr unsigned long kDownloadLimitMs = 120000;

struct FetchResult {
    bool ok = false;
    std::string localFile;  // when ok
    std::string error;      // when not: why, for the user
};

class Fetcher {
public:
    Fetcher() = default;
    Fetcher(const Fetcher&) = delete;
    Fetcher& operator=(const Fetcher&) = delete;
    // Deletes every file it downloaded.
    ~Fetcher();

    // `url` must be absolute. A fragment is ignored.
    FetchResult Fetch(const std::string& url);

private:
    FetchResult Download(const std::string& url);
    std::string NewLocalFile(const std::string& url);

    std::vector<std::string> downloaded_;
};

}  // namespace nphost
