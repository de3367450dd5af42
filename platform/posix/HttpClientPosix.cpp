// libcurl backend of httpGet: the easy interface on the calling thread. The
// progress callback checks the stop request and the stall bound; the header
// callback keeps the head of the last response only, so the caller sees the
// response that redirects led to. libcurl (with its TLS, Kerberos, LDAP, SSH
// ... libraries) is loaded at the first transfer, not when the program starts:
// most commands never make one.

#include "platform/AsciiCase.h"
#include "platform/HttpClient.h"

#include "platform/SharedLibrary.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace vantor {
namespace {

using Clock = std::chrono::steady_clock;

// The libcurl calls this backend makes, from the library loaded on first use.
struct Curl {
    CURLcode (*global_init)(long);
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
    CURLcode (*easy_perform)(CURL*);
    void (*easy_cleanup)(CURL*);
    const char* (*easy_strerror)(CURLcode);
    curl_slist* (*slist_append)(curl_slist*, const char*);
    void (*slist_free_all)(curl_slist*);
    time_t (*getdate)(const char*, const time_t*);
    std::string error;  // why it could not be loaded; empty when it was
};

// Loaded and initialised once; every later call gets the same answer.
const Curl& curlApi() {
    static const Curl api = [] {
        Curl c{};
        SharedLibrary lib({"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl.so"});
        if (!lib.loaded()) {
            c.error = "libcurl could not be loaded (" + lib.error() + ")";
            return c;
        }
        c.global_init = lib.function<decltype(c.global_init)>("curl_global_init");
        c.easy_init = lib.function<decltype(c.easy_init)>("curl_easy_init");
        c.easy_setopt = lib.function<decltype(c.easy_setopt)>("curl_easy_setopt");
        c.easy_getinfo = lib.function<decltype(c.easy_getinfo)>("curl_easy_getinfo");
        c.easy_perform = lib.function<decltype(c.easy_perform)>("curl_easy_perform");
        c.easy_cleanup = lib.function<decltype(c.easy_cleanup)>("curl_easy_cleanup");
        c.easy_strerror = lib.function<decltype(c.easy_strerror)>("curl_easy_strerror");
        c.slist_append = lib.function<decltype(c.slist_append)>("curl_slist_append");
        c.slist_free_all = lib.function<decltype(c.slist_free_all)>("curl_slist_free_all");
        c.getdate = lib.function<decltype(c.getdate)>("curl_getdate");
        if (!c.global_init || !c.easy_init || !c.easy_setopt || !c.easy_getinfo || !c.easy_perform || !c.easy_cleanup ||
            !c.easy_strerror || !c.slist_append || !c.slist_free_all || !c.getdate) {
            c.error = "libcurl could not be loaded (" + lib.error() + ")";
            return c;
        }
        if (c.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) c.error = "libcurl could not be initialised";
        return c;
    }();
    return api;
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return std::string(s);
}

std::time_t httpDate(const std::string& text) {
    const std::time_t t = curlApi().getdate(text.c_str(), nullptr);
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
        if (startsWithIgnoringAsciiCase(line, "HTTP/")) {
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
        auto is = [&](const char* n) { return name.size() == std::strlen(n) && startsWithIgnoringAsciiCase(name, n); };
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
            if (curlApi().easy_getinfo(t->curl, CURLINFO_CONNECT_TIME_T, &connectTime) == CURLE_OK && connectTime > 0) {
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
    CURL* curl = curlApi().easy_init();
    curl_slist* headers = nullptr;
    ~EasyHandle() {
        if (curl) curlApi().easy_cleanup(curl);
        if (headers) curlApi().slist_free_all(headers);
    }
};

}  // namespace

HttpResult httpGet(const HttpRequest& request, HttpReceiver& receiver) {
    HttpResult result;
    if (receiver.stopRequested()) {
        result.end = HttpEnd::Stopped;
        return result;
    }
    const Curl& api = curlApi();
    if (!api.error.empty()) {
        result.error = api.error;
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

    if (!request.accept.empty()) easy.headers = api.slist_append(easy.headers, ("Accept: " + request.accept).c_str());
    if (request.noCache) {
        easy.headers = api.slist_append(easy.headers, "Pragma: no-cache");
        easy.headers = api.slist_append(easy.headers, "Cache-Control: no-cache");
    }
    api.easy_setopt(c, CURLOPT_URL, request.url.c_str());
    api.easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    api.easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    api.easy_setopt(c, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    api.easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    api.easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    api.easy_setopt(c, CURLOPT_USERAGENT, request.userAgent.c_str());
    api.easy_setopt(c, CURLOPT_HTTPHEADER, easy.headers);
    api.easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                    static_cast<long>(std::max<long long>(1, request.connectBound.count())));
    // The socket is read in pieces of at least 64 KiB: far fewer calls than
    // 4 KiB blocks; the caller sees the same bytes and events.
    api.easy_setopt(c, CURLOPT_BUFFERSIZE,
                    static_cast<long>(std::clamp<std::size_t>(request.blockSize, 64 * 1024, 512 * 1024)));
    api.easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    api.easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.extraCaFile.empty()) api.easy_setopt(c, CURLOPT_CAINFO, request.extraCaFile.c_str());
    if (!request.username.empty()) api.easy_setopt(c, CURLOPT_USERNAME, request.username.c_str());
    if (!request.password.empty()) api.easy_setopt(c, CURLOPT_PASSWORD, request.password.c_str());
    std::string bypass = request.proxyBypass;
    std::replace(bypass.begin(), bypass.end(), ';', ',');
    switch (request.proxy) {
        case HttpProxyAccess::Preconfig: break;  // libcurl reads the proxy variables itself
        case HttpProxyAccess::Direct: api.easy_setopt(c, CURLOPT_PROXY, ""); break;
        case HttpProxyAccess::UseProxy:
            api.easy_setopt(c, CURLOPT_PROXY, request.proxyServer.c_str());
            api.easy_setopt(c, CURLOPT_NOPROXY, bypass.c_str());
            break;
    }
    api.easy_setopt(c, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    api.easy_setopt(c, CURLOPT_HEADERDATA, &t);
    api.easy_setopt(c, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    api.easy_setopt(c, CURLOPT_WRITEDATA, &t);
    api.easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    api.easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
    api.easy_setopt(c, CURLOPT_XFERINFODATA, &t);

    const CURLcode code = api.easy_perform(c);
    result.status = t.head.status;
    if (code != CURLE_OK) result.error = api.easy_strerror(code);
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
