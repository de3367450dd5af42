#pragma once
// One plain HTTP(S) GET, run to its end on the calling (worker) thread. One
// backend per system: libcurl on POSIX (platform/posix/HttpClientPosix.cpp),
// WinInet on Windows (platform/win/HttpClientWin.cpp).
// The caller sees the final response only (redirects are followed), its
// headers once before the first byte of the body, then the body in blocks.
// Certificates of https addresses are always checked.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace vantor {

enum class HttpProxyAccess {
    Preconfig,  // the system's settings (POSIX: http_proxy, https_proxy, no_proxy)
    Direct,     // no proxy
    UseProxy,   // the named proxy, except for the bypass list
};

struct HttpRequest {
    std::string url;  // with its scheme
    std::string userAgent;
    std::string accept;
    std::string username, password;  // used when not empty
    bool noCache = false;            // ask caches on the way for a fresh copy
    bool followRedirects = true;
    // The Windows internet library's request flags (cache options, request
    // options, secure), passed as they are on Windows; libcurl reads noCache and
    // followRedirects instead.
    std::uint32_t requestFlags = 0;
    HttpProxyAccess proxy = HttpProxyAccess::Preconfig;
    std::string proxyServer;  // "host:port" for UseProxy
    std::string proxyBypass;  // hosts separated by ';' or ','
    std::size_t blockSize = 4096;
    // No connection within connectBound: the host is unreachable. No byte for
    // stallBound once connected: the connection is lost.
    std::chrono::milliseconds connectBound{30'000};
    std::chrono::milliseconds stallBound{60'000};
    // Extra certificate authorities (a PEM file) beside the system's; empty in
    // the program, set by tests that make their own. POSIX only: WinInet trusts
    // the system's certificate store.
    std::string extraCaFile;
};

struct HttpResponseHead {
    int status = -1;
    std::string contentType;
    std::uint64_t contentLength = 0;  // 0 when the server announced none
    bool lengthKnown = false;
    std::string rawHeaders;
    std::time_t date = 0, lastModified = 0, expires = 0;  // 0 when absent or unreadable
    std::string realm;                                    // of a 401 answer
};

// What the transfer tells its caller, on the calling thread. A false return
// from any of them ends the transfer (HttpEnd::Stopped).
class HttpReceiver {
public:
    virtual ~HttpReceiver() = default;
    // Asked often (between blocks and while waiting): true ends the transfer.
    // Windows asks it also from a helper thread while a call blocks.
    virtual bool stopRequested() = 0;
    // The final response's status line and headers, before the first block.
    virtual bool head(const HttpResponseHead& head) = 0;
    virtual bool block(const char* data, std::size_t size) = 0;
};

enum class HttpEnd {
    Complete,      // the server ended the body normally
    Broken,        // the connection broke or stalled after it was made
    NoConnection,  // no answer: name, connection, TLS or the request failed
    Stopped,       // stopRequested or a receiver's false return
};

struct HttpResult {
    HttpEnd end = HttpEnd::NoConnection;
    int status = -1;    // -1 when no status line arrived
    std::string error;  // the library's text, for the log
};

HttpResult httpGet(const HttpRequest& request, HttpReceiver& receiver);

}  // namespace vantor
