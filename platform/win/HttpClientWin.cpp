// WinInet backend of httpGet, on the calling thread: InternetOpen with the
// proxy settings, InternetConnect, HttpOpenRequest with the accept types and
// the request flags, HttpSendRequest, HttpQueryInfo, then InternetReadFile of
// what has arrived, in blocks. The connect bound is the library's connect timeout and the stall
// bound its receive timeout. While a call blocks, a helper thread watches the
// stop request and closes the session handle, which ends the call.

#include "platform/HttpClient.h"

#include "platform/win/WinError.h"

#include <windows.h>

#include <wininet.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace vantor {
namespace {

constexpr std::chrono::milliseconds kStopCheck{20};

// The text of an error code of the internet library or of the system.
std::string errorText(DWORD code) {
    if (code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST) {
        char* buffer = nullptr;
        const DWORD n =
            FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                           GetModuleHandleA("wininet.dll"), code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
        std::string text = n && buffer ? std::string(buffer, n) : std::string();
        if (buffer) LocalFree(buffer);
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
        if (!text.empty()) return text;
        return "internet error " + std::to_string(code);
    }
    return win::systemErrorText(code);
}

struct InternetHandle {
    HINTERNET h = nullptr;
    ~InternetHandle() { close(); }
    void close() {
        if (h) InternetCloseHandle(h);
        h = nullptr;
    }
};

// A header as text; empty when the answer has none.
std::string queryText(HINTERNET request, DWORD what) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        DWORD index = 0;
        if (HttpQueryInfoW(request, what, buffer.data(), &size, &index))
            return win::narrow(std::wstring(buffer.data(), size / sizeof(wchar_t)));
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        buffer.resize(size / sizeof(wchar_t) + 1);
    }
}

std::time_t queryDate(HINTERNET request, DWORD what) {
    SYSTEMTIME st{};
    DWORD size = sizeof st;
    DWORD index = 0;
    if (!HttpQueryInfoW(request, what | HTTP_QUERY_FLAG_SYSTEMTIME, &st, &size, &index)) return 0;
    FILETIME ft{};
    if (!SystemTimeToFileTime(&st, &ft)) return 0;
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    constexpr std::uint64_t kUnixEpoch = 116444736000000000ull;  // 1970-01-01 in 100 ns steps since 1601
    if (v.QuadPart < kUnixEpoch) return 0;
    return static_cast<std::time_t>((v.QuadPart - kUnixEpoch) / 10'000'000ull);
}

std::string realmOf(const std::string& challenge) {
    const auto at = challenge.find("realm=");
    if (at == std::string::npos) return {};
    std::string realm = challenge.substr(at + 6);
    if (!realm.empty() && realm.front() == '"') {
        realm.erase(0, 1);
        realm = realm.substr(0, realm.find('"'));
    }
    return realm;
}

// The accept types as the request takes them: the texts between commas.
std::vector<std::wstring> acceptTypes(const std::string& accept) {
    std::vector<std::wstring> types;
    std::size_t start = 0;
    while (start < accept.size()) {
        std::size_t end = accept.find(',', start);
        if (end == std::string::npos) end = accept.size();
        std::string t = accept.substr(start, end - start);
        t.erase(0, t.find_first_not_of(' '));
        t.erase(t.find_last_not_of(' ') + 1);
        if (!t.empty()) types.push_back(win::widen(t));
        start = end + 1;
    }
    return types;
}

DWORD boundMs(std::chrono::milliseconds bound) {
    return static_cast<DWORD>(std::clamp<long long>(bound.count(), 1, 0x7FFFFFFF));
}

// Watches the receiver's stop request while the transfer runs and closes the
// session handle once it is set: a blocked call then returns with an error.
class StopWatch {
public:
    StopWatch(HttpReceiver& receiver, HINTERNET session) : receiver_(receiver), session_(session) {
        try {
            thread_ = std::thread([this] { watch(); });
        } catch (const std::system_error&) {
            // Without the helper the stop request is still seen between calls.
        }
    }
    ~StopWatch() { finish(); }

    // Ends the watch; true when it closed the session.
    bool finish() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
        return fired_;
    }

private:
    void watch() {
        std::unique_lock lock(mutex_);
        while (!done_) {
            if (receiver_.stopRequested()) {
                fired_ = true;
                InternetCloseHandle(session_);
                return;
            }
            wake_.wait_for(lock, kStopCheck);
        }
    }

    HttpReceiver& receiver_;
    HINTERNET session_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    bool fired_ = false;
    std::thread thread_;
};

}  // namespace

HttpResult httpGet(const HttpRequest& request, HttpReceiver& receiver) {
    HttpResult result;
    if (receiver.stopRequested()) {
        result.end = HttpEnd::Stopped;
        return result;
    }

    const std::wstring agent = win::widen(request.userAgent);
    const std::wstring proxy = win::widen(request.proxyServer);
    const std::wstring bypass = win::widen(request.proxyBypass);
    DWORD access = INTERNET_OPEN_TYPE_PRECONFIG;
    if (request.proxy == HttpProxyAccess::Direct) access = INTERNET_OPEN_TYPE_DIRECT;
    if (request.proxy == HttpProxyAccess::UseProxy) access = INTERNET_OPEN_TYPE_PROXY;
    InternetHandle session;
    session.h = InternetOpenW(agent.c_str(), access, access == INTERNET_OPEN_TYPE_PROXY ? proxy.c_str() : nullptr,
                              access == INTERNET_OPEN_TYPE_PROXY && !bypass.empty() ? bypass.c_str() : nullptr, 0);
    if (!session.h) {
        result.error = errorText(GetLastError());
        return result;
    }
    // The bounds on every handle: not every version of the library hands them down.
    const DWORD connectMs = boundMs(request.connectBound), stallMs = boundMs(request.stallBound);
    auto setBounds = [&](HINTERNET h) {
        DWORD connect = connectMs, stall = stallMs;
        InternetSetOptionW(h, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
        InternetSetOptionW(h, INTERNET_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
        InternetSetOptionW(h, INTERNET_OPTION_SEND_TIMEOUT, &stall, sizeof stall);
    };
    setBounds(session.h);

    // The address's parts.
    const std::wstring url = win::widen(request.url);
    wchar_t scheme[32], host[256], user[128], password[128], path[2048], extra[2048];
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszScheme = scheme, parts.dwSchemeLength = static_cast<DWORD>(std::size(scheme));
    parts.lpszHostName = host, parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
    parts.lpszUserName = user, parts.dwUserNameLength = static_cast<DWORD>(std::size(user));
    parts.lpszPassword = password, parts.dwPasswordLength = static_cast<DWORD>(std::size(password));
    parts.lpszUrlPath = path, parts.dwUrlPathLength = static_cast<DWORD>(std::size(path));
    parts.lpszExtraInfo = extra, parts.dwExtraInfoLength = static_cast<DWORD>(std::size(extra));
    if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
        result.error = errorText(GetLastError());
        return result;
    }
    std::wstring userName(user, parts.dwUserNameLength), pass(password, parts.dwPasswordLength);
    if (userName.empty()) userName = win::widen(request.username);
    if (pass.empty()) pass = win::widen(request.password);
    const std::wstring object =
        std::wstring(path, parts.dwUrlPathLength) + std::wstring(extra, parts.dwExtraInfoLength);
    DWORD flags = request.requestFlags;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    if (!request.followRedirects) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (request.noCache) flags |= INTERNET_FLAG_PRAGMA_NOCACHE;

    std::vector<std::wstring> types = acceptTypes(request.accept);
    std::vector<const wchar_t*> typePointers;
    for (const auto& t : types) typePointers.push_back(t.c_str());
    typePointers.push_back(nullptr);

    StopWatch watch(receiver, session.h);
    auto stoppedOrBroken = [&] {
        if (watch.finish()) session.h = nullptr;  // closed by the watch
        return receiver.stopRequested();
    };

    InternetHandle connection, req;
    connection.h = InternetConnectW(session.h, std::wstring(host, parts.dwHostNameLength).c_str(), parts.nPort,
                                    userName.empty() ? nullptr : userName.c_str(),
                                    pass.empty() ? nullptr : pass.c_str(), INTERNET_SERVICE_HTTP, 0, 0);
    if (connection.h) setBounds(connection.h);
    if (connection.h && !receiver.stopRequested())
        req.h = HttpOpenRequestW(connection.h, L"GET", object.empty() ? L"/" : object.c_str(), nullptr, nullptr,
                                 typePointers.data(), flags, 0);
    if (req.h) setBounds(req.h);
    const bool sent = req.h && !receiver.stopRequested() && HttpSendRequestW(req.h, nullptr, 0, nullptr, 0);
    if (!sent) {
        const DWORD code = GetLastError();
        const bool stopped = stoppedOrBroken();
        result.end = stopped ? HttpEnd::Stopped : HttpEnd::NoConnection;
        if (!stopped) result.error = errorText(code);
        return result;
    }

    HttpResponseHead head;
    DWORD status = 0, size = sizeof status, index = 0;
    if (HttpQueryInfoW(req.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index) && status > 0)
        head.status = static_cast<int>(status);
    head.contentType = queryText(req.h, HTTP_QUERY_CONTENT_TYPE);
    const std::string length = queryText(req.h, HTTP_QUERY_CONTENT_LENGTH);
    if (!length.empty()) {
        char* end = nullptr;
        const unsigned long long n = std::strtoull(length.c_str(), &end, 10);
        if (end != length.c_str() && *end == '\0') {
            head.contentLength = n;
            head.lengthKnown = true;
        }
    }
    head.rawHeaders = queryText(req.h, HTTP_QUERY_RAW_HEADERS_CRLF);
    head.date = queryDate(req.h, HTTP_QUERY_DATE);
    head.lastModified = queryDate(req.h, HTTP_QUERY_LAST_MODIFIED);
    head.expires = queryDate(req.h, HTTP_QUERY_EXPIRES);
    if (head.status == 401) head.realm = realmOf(queryText(req.h, HTTP_QUERY_WWW_AUTHENTICATE));
    result.status = head.status;
    if (receiver.stopRequested() || !receiver.head(head)) {
        stoppedOrBroken();
        result.end = HttpEnd::Stopped;
        return result;
    }

    std::vector<char> block(std::max<std::size_t>(request.blockSize, 1));
    // A read asks for what has arrived (at most a block): a plain read waits
    // to fill the whole block, and a stall would swallow what came before it.
    for (;;) {
        DWORD available = 0, read = 0;
        const bool ok = InternetQueryDataAvailable(req.h, &available, 0, 0) &&
                        (available == 0 ||
                         InternetReadFile(req.h, block.data(),
                                          static_cast<DWORD>(std::min<std::size_t>(available, block.size())), &read));
        if (!ok) {
            const DWORD code = GetLastError();
            if (stoppedOrBroken()) {
                result.end = HttpEnd::Stopped;
            } else {
                result.end = HttpEnd::Broken;
                result.error =
                    code == ERROR_INTERNET_TIMEOUT ? "no data arrived within the stall bound" : errorText(code);
            }
            return result;
        }
        if (read == 0) break;
        if (receiver.stopRequested() || !receiver.block(block.data(), read)) {
            stoppedOrBroken();
            result.end = HttpEnd::Stopped;
            return result;
        }
    }
    result.end = stoppedOrBroken() ? HttpEnd::Stopped : HttpEnd::Complete;
    return result;
}

}  // namespace vantor
