#include "fetcher.h"

#include <cctype>

#include <windows.h>
#include <wininet.h>

#include "handles.h"
#include "url.h"

namespace nphost {
namespace {

std::string LastSegment(const std::string& url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos) path.erase(0, slash + 1);
    std::string safe;
    for (char c : path) safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-') ? c : '_';
    return safe.empty() ? std::string("index") : safe;
}

std::string SystemMessage(DWORD code) {
    char buffer[256] = {};
    HMODULE wininet = ::GetModuleHandleA("wininet.dll");
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                                        FORMAT_MESSAGE_IGNORE_INSERTS,
                                    wininet, code, 0, buffer, sizeof buffer, nullptr);
    while (length && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) buffer[--length] = 0;
    return length ? std::string(buffer) + " (error " + std::to_string(code) + ")"
                  : "error " + std::to_string(code);
}

FetchResult Failure(std::string why) { return {false, {}, std::move(why)}; }

}  // namespace

Fetcher::~Fetcher() {
    for (const std::string& file : downloaded_) ::DeleteFileA(file.c_str());
}

FetchResult Fetcher::Fetch(const std::string& url) {
    const std::string scheme = SchemeOf(url);
    if (scheme == "file") {
        const std::optional<std::string> path = PathFromFileUrl(url);
        if (!path) return Failure("not a local file URL");
        const DWORD attributes = ::GetFileAttributesA(path->c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return Failure("no such file: " + *path);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Failure("a directory, not a file: " + *path);
        return {true, *path, {}};
    }
    if (scheme == "http" || scheme == "https") return Download(url);
    return Failure(scheme.empty() ? "not an absolute URL" : "the scheme \"" + scheme + "\" is not supported");
}

std::string Fetcher::NewLocalFile(const std::string& url) {
    char directory[MAX_PATH] = {};
    const DWORD length = ::GetTempPathA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) return {};
    // A name of its own for each download, ending like the URL.
    const std::string name = std::string(directory) + "nphost-" +
                             std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(downloaded_.size() + 1) + "-" + LastSegment(url);
    downloaded_.push_back(name);
    return name;
}

// Every wait of a request is bounded: the platform's connect, send and
// receive waits are set on the request handle itself.
static void BoundWaits(HINTERNET handle) {
    DWORD timeout = kFetchTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_SEND_TIMEOUT}) {
        ::InternetSetOptionA(handle, option, &timeout, sizeof timeout);
    }
}

FetchResult Fetcher::Download(const std::string& url) {
    const std::string target = url.substr(0, url.find('#'));
    char host[256] = {};
    std::vector<char> path(target.size() + 1);
    std::vector<char> query(target.size() + 1);
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = query.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(query.size());
    if (!::InternetCrackUrlA(target.c_str(), 0, 0, &parts)) return Failure("not a valid URL");
    const std::string object = std::string(path.data()) + query.data();
    UniqueInternet session(::InternetOpenA("nphost", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return Failure("the internet client did not start: " + SystemMessage(::GetLastError()));
    BoundWaits(session.get());
    UniqueInternet connection(::InternetConnectA(session.get(), host, parts.nPort, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return Failure(SystemMessage(::GetLastError()));
    BoundWaits(connection.get());
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                        (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
    UniqueInternet request(::HttpOpenRequestA(connection.get(), "GET", object.empty() ? "/" : object.c_str(),
                                              nullptr, nullptr, nullptr, flags, 0));
    if (!request) return Failure(SystemMessage(::GetLastError()));
    BoundWaits(request.get());
    if (!::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
        return Failure(SystemMessage(::GetLastError()));
    }

    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &statusSize, nullptr)) {
        return Failure("no HTTP status: " + SystemMessage(::GetLastError()));
    }
    if (status < 200 || status > 299) return Failure("HTTP status " + std::to_string(status));

    const std::string localFile = NewLocalFile(url);
    if (localFile.empty()) return Failure("no temporary directory");
    UniqueFile file(::CreateFileA(localFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Failure("cannot write " + localFile + ": " + SystemMessage(::GetLastError()));
    char buffer[16384];
    const DWORD started = ::GetTickCount();
    for (;;) {
        if (::GetTickCount() - started > kDownloadLimitMs) return Failure("the download took too long");
        DWORD read = 0;
        if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &read)) {
            return Failure("download broken off: " + SystemMessage(::GetLastError()));
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!::WriteFile(file.get(), buffer, read, &written, nullptr) || written != read) {
            return Failure("cannot write " + localFile);
        }
    }
    return {true, localFile, {}};
}

}  // namespace nphost
