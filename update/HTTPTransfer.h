#pragma once
// TCustomHTTP: fetches one address at a time on a worker thread, into memory
// or into a file, and reports the header, progress and outcome as events on
// the UI thread. The worker waits while an event's handler runs, so handlers
// never run beside other UI code. The connection itself is the platform's
// (platform/HttpClient.h).
//
// Beyond the plain transfer: a connect and a stall bound, a bound on the whole
// transfer (TotalBound, so a server that sends a byte now and then cannot keep
// it alive), a size limit (MaxSize) and an optional SHA-256 of the body, and an
// error outcome when the target file cannot be written.

#include "core/Timing.h"
#include "platform/EventLoop.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace vantor {

enum class TProxyAccessType { Preconfig, Direct, UseProxy };

struct THTTPProxy {
    TProxyAccessType AccessType = TProxyAccessType::Preconfig;
    int ProxyPort = 8080;
    std::string ProxyBypass = "127.0.0.1;";
    std::string ProxyServer, ProxyUsername, ProxyPassword;
};

// Cache and request options (the values of the Windows internet library).
enum TCacheOption : std::uint32_t {
    coAlwaysReload = 0x80000000,
    coReloadIfNoExpireInformation = 0x400,
    coReloadUpdatedObjects = 0x800,
    coPragmaNoCache = 0x100,
    coNoCacheWrite = 0x4000000,
    coCreateTempFilesIfCantCache = 0x10,
    coUseCacheIfNetFail = 0x10000,
};
enum TInternetOption : std::uint32_t {
    ioIgnoreCertificateInvalid = 0x1000,
    ioIgnoreCertificateDateInvalid = 0x2000,
    ioIgnoreRedirectToHTTP = 0x8000,
    ioIgnoreRedirectToHTTPS = 0x4000,
    ioKeepConnection = 0x400000,
    ioNoAuthentication = 0x40000,
    ioNoAutoRedirect = 0x200000,
    ioNoCookies = 0x80000,
};

// An address split as the transfer reads it. ok is false when a part does not
// fit its buffer (32, 256, 128, 128, 2048 and 2048 characters).
struct TAddressParts {
    bool ok = false;
    std::string Scheme, HostName, UserName, Password, UrlPath, ExtraInfo;
    int Port = 0;
};
// An address without "://" gets "http://" in front.
std::string withScheme(const std::string& url);
TAddressParts splitAddress(const std::string& url);

struct THTTPHeaderInfo {
    int Status = -1;
    std::string ContentType;
    std::uint64_t Size = 0;  // 0 when the server announced none
    std::time_t Date = 0, LastModified = 0, Expires = 0;
    std::string RawHeaders;
};

struct THTTPProgress {
    std::string URL;
    std::uint64_t Size = 0, Received = 0;
    int Percent = 0;
    long long Elapsed = 0, Remaining = 0;  // seconds
    double Rate = 0;                       // KiB/s
};

// The progress figures of one event: percentage of the announced size (0
// without one), whole seconds since the start, rate in KiB/s over the exact
// time taken, and the seconds the remaining bytes take at that rate (0 without
// a size or a rate).
THTTPProgress progressFigures(std::uint64_t size, std::uint64_t received, std::chrono::milliseconds elapsed);

class TCustomHTTP {
public:
    explicit TCustomHTTP(EventLoop& loop);
    virtual ~TCustomHTTP();
    TCustomHTTP(const TCustomHTTP&) = delete;
    TCustomHTTP& operator=(const TCustomHTTP&) = delete;

    // Settings, read when a transfer starts.
    std::string URL;
    std::string FileName;          // empty: into memory
    bool HiddenTemporary = false;  // no such attribute on POSIX: the name says it
    THTTPProxy Proxy;
    std::uint32_t InternetOptions = ioKeepConnection;
    std::uint32_t CacheOptions = 0;
    std::size_t TransferBufferSize = 4096;
    std::string HTTPUsername, HTTPPassword;
    std::chrono::milliseconds ConnectBound = kHttpConnectBound;
    std::chrono::milliseconds StallBound = kHttpStallBound;
    std::chrono::milliseconds TotalBound{0};  // the whole transfer, from its start; 0: none
    std::optional<std::uint64_t> MaxSize;     // more bytes than this end the transfer (OnTooLarge)
    bool ComputeSha256 = false;               // the body's digest, given to OnDone's handler through Sha256()
    std::string ExtraCaFile;                  // tests' own certificate authority

    // Starts a transfer of URL: false (and nothing happens) while one is busy.
    bool Read();
    // The worker stops at its next check; then only OnStopped follows.
    void Abort();
    bool Busy() const { return busy_; }
    // The hex SHA-256 of the last completed body (ComputeSha256).
    const std::string& Sha256() const { return sha256_; }

    // Events, on the UI thread.
    std::function<void(const THTTPHeaderInfo&, bool& Continue)> OnHeaderInfo;
    std::function<void(const THTTPProgress&)> OnProgress;
    std::function<void(const std::string& ContentType, const std::string* Data, std::uint64_t Bytes)> OnDone;
    std::function<void(const std::string& Data, std::uint64_t Bytes, std::uint64_t Size)> OnConnLost;
    std::function<void()> OnHostUnreachable;
    std::function<void(int Status, const std::string& Data)> OnHTTPError;
    std::function<void()> OnSkipped;
    std::function<void(const std::string& Realm)> OnPasswordRequest;  // asked on 401; nothing is retried
    std::function<void(const std::string& Path, const std::string& Error)> OnFileError;
    std::function<void(std::uint64_t Limit)> OnTooLarge;
    std::function<void(std::chrono::milliseconds Bound)> OnTimedOut;  // TotalBound passed; the target is gone
    std::function<void()> OnStopped;  // the transfer ended by Abort has let go of everything

private:
    struct Shared;
    struct Worker;
    struct Outcome;
    void finish(const Outcome& outcome);

    EventLoop& loop_;
    bool busy_ = false;
    std::string sha256_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace vantor
