// libcurl backend of httpGet: the easy interface on the calling thread. The
// progress callback checks the stop request and the stall bound; the header
// callback keeps the head of the last response only, so the caller sees the
// response that redirects led to.

#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace vantor {
namespace {

using Clock = std::chrono::steady_clock;

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return std::string(s);
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::time_t httpDate(const std::string& text) {
    const std::time_t t = curl_getdate(text.c_str(), nullptr);
    return t < 0 ? 0 : t;
}

struct Transfer {
    const HttpRequest& request;
    HttpReceiver& receiver;
    HttpResponseHead head;
    bool headDelivered = false;
    bool redirecting = false;
    bool stopped = false;  // by the receiver
    bool stalled = false;
    bool connected = false;
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastBytes = 0;
    CURL* curl = nullptr;

    Transfer(const HttpRequest& r, HttpReceiver& rc) : request(r), receiver(rc) {}

    void headerLine(std::string_view line) {
        lastActivity = Clock::now();
        if (startsWithNoCase(line, "HTTP/")) {
            // A new response (after an interim answer or a redirect) starts over.
            head = HttpResponseHead{};
            redirecting = false;
            const auto sp = line.find(' ');
            if (sp != std::string_view::npos) head.status = std::atoi(std::string(line.substr(sp + 1, 3)).c_str());
            if (head.status <= 0) head.status = -1;
            head.rawHeaders.assign(line);
            return;
        }
        head.rawHeaders.append(line);
        const std::string text = trimmed(line);
        if (text.empty()) {
            // The end of this response's head: a followed redirect leaves no status.
            if (redirecting) head = HttpResponseHead{};
            return;
        }
        const auto colon = text.find(':');
        if (colon == std::string::npos) return;
        const std::string name = text.substr(0, colon);
        const std::string value = trimmed(std::string_view(text).substr(colon + 1));
        auto is = [&](const char* n) { return name.size() == std::strlen(n) && startsWithNoCase(name, n); };
        if (is("Content-Type")) {
            head.contentType = value;
        } else if (is("Content-Length")) {
            char* end = nullptr;
            const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
            if (end != value.c_str() && *end == '\0') {
                head.contentLength = n;
                head.lengthKnown = true;
            }
        } else if (is("Date")) {
            head.date = httpDate(value);
        } else if (is("Last-Modified")) {
            head.lastModified = httpDate(value);
        } else if (is("Expires")) {
            head.expires = httpDate(value);
        } else if (is("Location")) {
            redirecting = request.followRedirects && head.status >= 300 && head.status < 400;
        } else if (is("WWW-Authenticate")) {
            const auto at = value.find("realm=");
            if (at != std::string::npos) {
                std::string realm = value.substr(at + 6);
                if (!realm.empty() && realm.front() == '"') {
                    realm.erase(0, 1);
                    realm = realm.substr(0, realm.find('"'));
                }
                head.realm = realm;
            }
        }
    }

    bool deliverHead() {
        if (headDelivered) return true;
        headDelivered = true;
        if (!receiver.head(head)) {
            stopped = true;
            return false;
        }
        return true;
    }

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self) {
        static_cast<Transfer*>(self)->headerLine(std::string_view(data, size * count));
        return size * count;
    }

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        const std::size_t n = size * count;
        t->lastActivity = Clock::now();
        if (!t->deliverHead()) return 0;
        if (t->receiver.stopRequested() || !t->receiver.block(data, n)) {
            t->stopped = true;
            return 0;
        }
        return n;
    }

    static int onProgress(void* self, curl_off_t, curl_off_t now, curl_off_t, curl_off_t) {
        auto* t = static_cast<Transfer*>(self);
        if (t->receiver.stopRequested()) {
            t->stopped = true;
            return 1;
        }
        const auto clock = Clock::now();
        if (!t->connected) {
            curl_off_t connectTime = 0;
            if (curl_easy_getinfo(t->curl, CURLINFO_CONNECT_TIME_T, &connectTime) == CURLE_OK && connectTime > 0) {
                t->connected = true;
                t->lastActivity = clock;
            }
            return 0;
        }
        if (now != t->lastBytes) {
            t->lastBytes = now;
            t->lastActivity = clock;
        } else if (clock - t->lastActivity >= t->request.stallBound) {
            t->stalled = true;
            return 1;
        }
        return 0;
    }
};

struct EasyHandle {
    CURL* curl = curl_easy_init();
    curl_slist* headers = nullptr;
    ~EasyHandle() {
        if (curl) curl_easy_cleanup(curl);
        if (headers) curl_slist_free_all(headers);
    }
};

}  // namespace

HttpResult httpGet(const HttpRequest& request, HttpReceiver& receiver) {
    globalInit();
    HttpResult result;
    if (receiver.stopRequested()) {
        result.end = HttpEnd::Stopped;
        return result;
    }
    EasyHandle easy;
    if (!easy.curl) {
        result.error = "libcurl could not start a transfer";
        return result;
    }
    Transfer t(request, receiver);
    t.curl = easy.curl;
    CURL* c = easy.curl;

    if (!request.accept.empty()) easy.headers = curl_slist_append(easy.headers, ("Accept: " + request.accept).c_str());
    if (request.noCache) {
        easy.headers = curl_slist_append(easy.headers, "Pragma: no-cache");
        easy.headers = curl_slist_append(easy.headers, "Cache-Control: no-cache");
    }
    curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, easy.headers);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::max<long long>(1, request.connectBound.count())));
    // The socket is read in pieces of at least 64 KiB: far fewer calls than
    // 4 KiB blocks; the caller sees the same bytes and events.
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE,
                     static_cast<long>(std::clamp<std::size_t>(request.blockSize, 64 * 1024, 512 * 1024)));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.extraCaFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, request.extraCaFile.c_str());
    if (!request.username.empty()) curl_easy_setopt(c, CURLOPT_USERNAME, request.username.c_str());
    if (!request.password.empty()) curl_easy_setopt(c, CURLOPT_PASSWORD, request.password.c_str());
    std::string bypass = request.proxyBypass;
    std::replace(bypass.begin(), bypass.end(), ';', ',');
    switch (request.proxy) {
        case HttpProxyAccess::Preconfig: break;  // libcurl reads the proxy variables itself
        case HttpProxyAccess::Direct: curl_easy_setopt(c, CURLOPT_PROXY, ""); break;
        case HttpProxyAccess::UseProxy:
            curl_easy_setopt(c, CURLOPT_PROXY, request.proxyServer.c_str());
            curl_easy_setopt(c, CURLOPT_NOPROXY, bypass.c_str());
            break;
    }
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);

    const CURLcode code = curl_easy_perform(c);
    result.status = t.head.status;
    if (code != CURLE_OK) result.error = curl_easy_strerror(code);
    if (t.stopped) {
        result.end = HttpEnd::Stopped;
    } else if (code == CURLE_OK) {
        // A response without a body reaches the caller here.
        result.end = t.deliverHead() ? HttpEnd::Complete : HttpEnd::Stopped;
    } else {
        if (t.stalled) result.error = "no data arrived within the stall bound";
        if (result.status > 0 && !t.headDelivered) t.deliverHead();
        result.end = result.status > 0 ? HttpEnd::Broken : HttpEnd::NoConnection;
    }
    return result;
}

}  // namespace vantor
