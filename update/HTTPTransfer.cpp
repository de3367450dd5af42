#include "update/HTTPTransfer.h"

#include "platform/FileOps.h"
#include "platform/HttpClient.h"
#include "update/Sha256.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace vantor {

inline constexpr const char* kUserAgent = "Vantor HTTP transfer";
inline constexpr const char* kAcceptTypes = "text/html, */*";
// Of an error answer only this much is kept: its text, not a download.
inline constexpr std::size_t kErrorBodyLimit = 64 * 1024;
// Progress events come at most this often (and for the last block).
inline constexpr std::chrono::milliseconds kProgressInterval{20};
// Writes to the target file go out in blocks of this size.
inline constexpr std::size_t kFileBufferSize = 256 * 1024;
// The request flag of an https address.
inline constexpr std::uint32_t kSecureFlag = 0x800000;

std::string withScheme(const std::string& url) { return url.find("://") == std::string::npos ? "http://" + url : url; }

TAddressParts splitAddress(const std::string& address) {
    TAddressParts p;
    const std::string url = withScheme(address);
    const auto schemeEnd = url.find("://");
    p.Scheme = url.substr(0, schemeEnd);
    std::string rest = url.substr(schemeEnd + 3);
    const auto pathAt = rest.find_first_of("/?#");
    std::string authority = rest.substr(0, pathAt);
    std::string path = pathAt == std::string::npos ? std::string() : rest.substr(pathAt);
    const auto at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string user = authority.substr(0, at);
        authority.erase(0, at + 1);
        const auto colon = user.find(':');
        p.UserName = user.substr(0, colon);
        if (colon != std::string::npos) p.Password = user.substr(colon + 1);
    }
    const auto colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
        p.Port = std::atoi(authority.c_str() + colon + 1);
        authority.erase(colon);
    } else {
        p.Port = p.Scheme == "https" ? 443 : 80;
    }
    p.HostName = authority;
    const auto extraAt = path.find_first_of("?#");
    p.UrlPath = path.substr(0, extraAt);
    if (extraAt != std::string::npos) p.ExtraInfo = path.substr(extraAt);
    p.ok = !p.HostName.empty() && p.Scheme.size() < 32 && p.HostName.size() < 256 && p.UserName.size() < 128 &&
           p.Password.size() < 128 && p.UrlPath.size() < 2048 && p.ExtraInfo.size() < 2048;
    return p;
}

THTTPProgress progressFigures(std::uint64_t size, std::uint64_t received, std::chrono::milliseconds elapsed) {
    THTTPProgress p;
    p.Size = size;
    p.Received = received;
    // Rounded as the figures always were: halves to the even neighbour.
    p.Percent = size ? static_cast<int>(std::nearbyint(static_cast<double>(received) * 100.0 / size)) : 0;
    p.Elapsed = elapsed.count() / 1000;
    // The rate over the exact time taken (whole seconds would make it jump and
    // leave the first second without an estimate); KiB per second.
    const double seconds = static_cast<double>(elapsed.count()) / 1000.0;
    p.Rate = received / 1024.0;
    if (seconds > 0) p.Rate /= seconds;
    // The bytes still to come at the rate so far; 0 when the size is unknown or
    // nothing has arrived in measurable time.
    p.Remaining = 0;
    if (size > received && received && seconds > 0)
        p.Remaining = static_cast<long long>(
            std::nearbyint(static_cast<double>(size - received) / (static_cast<double>(received) / seconds)));
    return p;
}

// What the worker and the UI thread share: the stop request and the hand-over
// of an event, which the worker waits for. cancelled: the owner is gone.
struct TCustomHTTP::Shared : std::enable_shared_from_this<Shared> {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable cv;
    bool cancelled = false;
    bool pending = false;

    // On the worker: runs f on the UI thread and waits until it has returned.
    // False when the transfer is to end (stopped or the owner is gone).
    bool handOver(EventLoop& loop, std::function<void()> f) {
        if (stop) return false;
        std::unique_lock lock(mutex);
        if (cancelled) return false;
        pending = true;
        loop.post([self = shared_from_this(), f = std::move(f)] {
            struct Release {
                Shared& s;
                ~Release() {
                    std::lock_guard l(s.mutex);
                    s.pending = false;
                    s.cv.notify_all();
                }
            } release{*self};
            bool run;
            {
                std::lock_guard l(self->mutex);
                run = !self->cancelled && !self->stop;
            }
            if (run) f();
        });
        cv.wait(lock, [&] { return !pending || cancelled; });
        return !cancelled && !stop;
    }
};

struct TCustomHTTP::Outcome {
    enum Kind {
        Done,
        ConnLost,
        HostUnreachable,
        HTTPError,
        Skipped,
        FileError,
        TooLarge,
        TimedOut,
        Stopped
    } kind = Stopped;
    int status = -1;
    std::string contentType, data, fileError, sha256, target;
    std::uint64_t size = 0, received = 0, limit = 0;
    bool intoFile = false;
};

// The worker side of one transfer: receives the platform's blocks, writes the
// target or the memory buffer, hands events to the UI thread.
struct TCustomHTTP::Worker final : HttpReceiver {
    TCustomHTTP& owner;  // its events only, called on the UI thread
    EventLoop& loop;
    std::shared_ptr<Shared> shared;
    std::string url, fileName;
    std::optional<std::uint64_t> maxSize;
    bool hiddenTemporary, hashing, wantsProgress, wantsHeader, wantsPassword;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::milliseconds totalBound;
    std::atomic<bool> timedOut{false};  // also set from the platform's helper thread
    std::chrono::steady_clock::time_point lastProgress{};

    Outcome out;
    bool skipped = false, fileFailed = false, tooLarge = false, errorBodyFull = false;
    NewFile file;
    std::string fileBuffer;
    vantor::Sha256 hash;  // the class, not TCustomHTTP::Sha256()

    Worker(TCustomHTTP& o, std::shared_ptr<Shared> s)
        : owner(o),
          loop(o.loop_),
          shared(std::move(s)),
          url(withScheme(o.URL)),
          fileName(o.FileName),
          maxSize(o.MaxSize),
          hiddenTemporary(o.HiddenTemporary),
          hashing(o.ComputeSha256),
          wantsProgress(static_cast<bool>(o.OnProgress)),
          wantsHeader(static_cast<bool>(o.OnHeaderInfo)),
          wantsPassword(static_cast<bool>(o.OnPasswordRequest)),
          totalBound(o.TotalBound) {
        if (!hash.ok()) hashing = false;
    }

    bool stopRequested() override {
        if (shared->stop || timedOut) return true;
        if (totalBound.count() > 0 && std::chrono::steady_clock::now() - start >= totalBound) timedOut = true;
        return timedOut;
    }

    bool head(const HttpResponseHead& h) override {
        out.status = h.status;
        out.contentType = h.contentType;
        out.size = h.lengthKnown ? h.contentLength : 0;
        if (h.status == 401 && wantsPassword) {
            if (!shared->handOver(loop, [this, realm = h.realm] { owner.OnPasswordRequest(realm); })) return false;
        }
        if (wantsHeader) {
            THTTPHeaderInfo info{h.status, h.contentType, out.size, h.date, h.lastModified, h.expires, h.rawHeaders};
            bool cont = true;
            if (!shared->handOver(loop, [this, &info, &cont] { owner.OnHeaderInfo(info, cont); })) return false;
            if (!cont) {
                skipped = true;
                return false;
            }
        }
        const bool ok = h.status == 200 || h.status == 206;
        if (ok && maxSize && h.lengthKnown && h.contentLength > *maxSize) {
            tooLarge = true;
            return false;
        }
        if (ok && !fileName.empty()) {
            // A fresh file in place of an older one; a link there is not followed.
            if (!file.create(fileName, out.fileError, hiddenTemporary)) {
                fileFailed = true;
                return false;
            }
            out.intoFile = true;
            out.target = fileName;
            fileBuffer.reserve(kFileBufferSize);
        } else if (out.size) {
            std::uint64_t reserve = out.size;
            if (maxSize) reserve = std::min(reserve, *maxSize);
            out.data.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(reserve, 16u << 20)));
        }
        return true;
    }

    bool flush() {
        if (!file.write(fileBuffer.data(), fileBuffer.size(), out.fileError)) {
            fileFailed = true;
            return false;
        }
        fileBuffer.clear();
        return true;
    }

    bool block(const char* data, std::size_t n) override {
        const bool ok = out.status == 200 || out.status == 206;
        if (ok && maxSize && out.received + n > *maxSize) {
            tooLarge = true;
            return false;
        }
        if (file.isOpen()) {
            fileBuffer.append(data, n);
            if (fileBuffer.size() >= kFileBufferSize && !flush()) return false;
        } else {
            if (!ok && out.data.size() + n > kErrorBodyLimit) {
                errorBodyFull = true;
                return false;
            }
            out.data.append(data, n);
        }
        if (hashing) hash.update(data, n);
        out.received += n;
        if (wantsProgress) {
            // A window shows no more than a few dozen changes a second: blocks
            // that arrive closer together than kProgressInterval are reported
            // with the next one (the last block always).
            const auto now = std::chrono::steady_clock::now();
            if (now - lastProgress < kProgressInterval && !(out.size && out.received == out.size)) return true;
            lastProgress = now;
            THTTPProgress p = progressFigures(out.size, out.received,
                                              std::chrono::duration_cast<std::chrono::milliseconds>(now - start));
            p.URL = url;
            if (!shared->handOver(loop, [this, &p] { owner.OnProgress(p); })) return false;
        }
        return true;
    }

    void closeFile() {
        if (!file.isOpen()) return;
        if (!fileFailed) flush();
        std::string error;
        if (!file.close(error) && !fileFailed) {
            out.fileError = error;
            fileFailed = true;
        }
    }

    void run(const TAddressParts& parts, HttpRequest request) {
        HttpResult r;
        if (parts.ok) {
            r = httpGet(request, *this);
        } else {
            r.end = shared->stop ? HttpEnd::Stopped : HttpEnd::NoConnection;
        }
        closeFile();
        out.status = r.status;
        if (!fileName.empty()) out.target = fileName;
        if (shared->stop) {
            out.kind = Outcome::Stopped;
        } else if (timedOut) {
            out.kind = Outcome::TimedOut;
            out.limit = static_cast<std::uint64_t>(totalBound.count());
        } else if (fileFailed) {
            out.kind = Outcome::FileError;
        } else if (tooLarge) {
            out.kind = Outcome::TooLarge;
            out.limit = *maxSize;
        } else if (skipped) {
            out.kind = Outcome::Skipped;
        } else if ((r.status == 200 || r.status == 206) && r.end == HttpEnd::Complete &&
                   (out.size == 0 || out.received == out.size)) {
            out.kind = Outcome::Done;
        } else if (r.status == 200 || r.status == 206) {
            out.kind = Outcome::ConnLost;
        } else if (r.status == -1) {
            out.kind = Outcome::HostUnreachable;
        } else {
            out.kind = Outcome::HTTPError;
        }
        if (out.kind == Outcome::Done && hashing) {
            out.sha256 = hash.hexDigest();
        }
        (void)errorBodyFull;  // the answer's status decides, as for a complete error page
    }
};

TCustomHTTP::TCustomHTTP(EventLoop& loop) : loop_(loop) {}

TCustomHTTP::~TCustomHTTP() {
    if (shared_) {
        std::lock_guard lock(shared_->mutex);
        shared_->cancelled = true;
        shared_->stop = true;
        shared_->cv.notify_all();
    }
    if (thread_.joinable()) thread_.join();
}

bool TCustomHTTP::Read() {
    if (busy_) return false;
    busy_ = true;
    sha256_.clear();
    shared_ = std::make_shared<Shared>();

    const TAddressParts parts = splitAddress(URL);
    HttpRequest request;
    request.url = withScheme(URL);
    request.userAgent = kUserAgent;
    request.accept = kAcceptTypes;
    if (parts.UserName.empty()) request.username = HTTPUsername;
    if (parts.Password.empty()) request.password = HTTPPassword;
    request.noCache = (CacheOptions & (coPragmaNoCache | coAlwaysReload)) != 0;
    request.followRedirects = (InternetOptions & ioNoAutoRedirect) == 0;
    request.requestFlags = CacheOptions | InternetOptions | (parts.Scheme == "https" ? kSecureFlag : 0);
    switch (Proxy.AccessType) {
        case TProxyAccessType::Preconfig: request.proxy = HttpProxyAccess::Preconfig; break;
        case TProxyAccessType::Direct: request.proxy = HttpProxyAccess::Direct; break;
        case TProxyAccessType::UseProxy:
            request.proxy = HttpProxyAccess::UseProxy;
            request.proxyServer = Proxy.ProxyServer + ":" + std::to_string(Proxy.ProxyPort);
            request.proxyBypass = Proxy.ProxyBypass;
            break;
    }
    request.blockSize = TransferBufferSize;
    request.connectBound = ConnectBound;
    request.stallBound = StallBound;
    request.extraCaFile = ExtraCaFile;

    auto worker = std::make_shared<Worker>(*this, shared_);
    thread_ = std::thread([this, worker, parts, request = std::move(request)] {
        worker->run(parts, request);
        auto shared = worker->shared;
        loop_.post([this, worker, shared] {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->cancelled) return;  // the owner is gone
            }
            finish(worker->out);
        });
    });
    return true;
}

void TCustomHTTP::Abort() {
    if (shared_) shared_->stop = true;
}

void TCustomHTTP::finish(const Outcome& result) {
    if (thread_.joinable()) thread_.join();
    Outcome out = result;
    // An abort wins over an outcome that was on its way.
    if (shared_ && shared_->stop) out.kind = Outcome::Stopped;
    // A file that was not completed does not stay; an error answer removes
    // the target too. A broken connection leaves what arrived to the owner.
    if (!out.target.empty()) {
        const bool keep = out.kind == Outcome::Done || out.kind == Outcome::ConnLost;
        if ((out.intoFile && !keep) || out.kind == Outcome::HTTPError) deleteFile(out.target);
    }
    sha256_ = out.sha256;
    busy_ = false;
    switch (out.kind) {
        case Outcome::Done:
            if (OnDone) OnDone(out.contentType, out.intoFile ? nullptr : &out.data, out.received);
            break;
        case Outcome::ConnLost:
            if (OnConnLost) OnConnLost(out.data, out.received, out.size);
            break;
        case Outcome::HostUnreachable:
            if (OnHostUnreachable) OnHostUnreachable();
            break;
        case Outcome::HTTPError:
            if (OnHTTPError) OnHTTPError(out.status, out.data);
            break;
        case Outcome::Skipped:
            if (OnSkipped) OnSkipped();
            break;
        case Outcome::FileError:
            if (OnFileError) OnFileError(out.target, out.fileError);
            break;
        case Outcome::TooLarge:
            if (OnTooLarge) OnTooLarge(out.limit);
            break;
        case Outcome::TimedOut:
            if (OnTimedOut) OnTimedOut(std::chrono::milliseconds(out.limit));
            break;
        case Outcome::Stopped:
            if (OnStopped) OnStopped();
            break;
    }
}

}  // namespace vantor
