// TCustomHTTP against a loopback server: memory and file targets, the outcome
// events, the faults of a server (no length, short body, stall, endless body,
// error answers, redirects), https with a certificate made here, abort and the
// busy flag, and the progress figures.

#include "platform/PlainEventLoop.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestProcesses.h"
#include "update/HTTPTransfer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace vantor;
using namespace std::chrono_literals;
using vantor::test::exists;
using vantor::test::HttpTestServer;
using vantor::test::readFile;
using vantor::test::TempDir;
using vantor::test::writeFile;

namespace {

// Everything a transfer reported, in order.
struct Events {
    std::vector<std::string> names;
    bool allOnUiThread = true;
    std::string data;
    bool dataGiven = false;
    std::uint64_t bytes = 0, size = 0;
    int status = 0;
    std::string realm, fileError;
    std::vector<THTTPProgress> progress;
    std::vector<THTTPHeaderInfo> headers;
    bool ended = false;
};

class HTTPTransferTest : public ::testing::Test {
protected:
    PlainEventLoop loop;
    HttpTestServer server;
    TempDir dir;
    Events ev;
    std::unique_ptr<TCustomHTTP> http = std::make_unique<TCustomHTTP>(loop);

    void SetUp() override {
        ASSERT_TRUE(server.running());
        http->Proxy.AccessType = TProxyAccessType::Direct;
        http->ConnectBound = 2s;
        http->StallBound = 1s;
        hook(*http);
    }

    void mark(const std::string& name) {
        ev.names.push_back(name);
        if (!loop.isUiThread()) ev.allOnUiThread = false;
    }

    void hook(TCustomHTTP& h) {
        h.OnDone = [this](const std::string&, const std::string* data, std::uint64_t bytes) {
            mark("done");
            ev.dataGiven = data != nullptr;
            if (data) ev.data = *data;
            ev.bytes = bytes;
            ev.ended = true;
        };
        h.OnConnLost = [this](const std::string& data, std::uint64_t bytes, std::uint64_t size) {
            mark("connlost");
            ev.data = data;
            ev.bytes = bytes;
            ev.size = size;
            ev.ended = true;
        };
        h.OnHostUnreachable = [this] {
            mark("unreachable");
            ev.ended = true;
        };
        h.OnHTTPError = [this](int status, const std::string& data) {
            mark("error");
            ev.status = status;
            ev.data = data;
            ev.ended = true;
        };
        h.OnSkipped = [this] {
            mark("skipped");
            ev.ended = true;
        };
        h.OnFileError = [this](const std::string&, const std::string& error) {
            mark("fileerror");
            ev.fileError = error;
            ev.ended = true;
        };
        h.OnTooLarge = [this](std::uint64_t) {
            mark("toolarge");
            ev.ended = true;
        };
        h.OnStopped = [this] {
            mark("stopped");
            ev.ended = true;
        };
        h.OnTimedOut = [this](std::chrono::milliseconds bound) {
            mark("timedout " + std::to_string(bound.count()));
            ev.ended = true;
        };
    }

    // Starts a transfer of url and runs the loop until it has ended.
    void fetch(const std::string& url, std::chrono::milliseconds limit = 10s) {
        http->URL = url;
        ASSERT_TRUE(http->Read());
        ASSERT_TRUE(loop.runUntil([&] { return ev.ended; }, limit)) << "no outcome for " << url;
        EXPECT_FALSE(http->Busy());
        EXPECT_TRUE(ev.allOnUiThread);
    }
};

TEST_F(HTTPTransferTest, IntoMemoryGivesTheBodyAndItsLength) {
    server.put("info.inf", "#version=1.4\r\n");
    fetch(server.url("/files/info.inf"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"done"});
    EXPECT_TRUE(ev.dataGiven);
    EXPECT_EQ(ev.data, "#version=1.4\r\n");
    EXPECT_EQ(ev.bytes, 14u);
}

TEST_F(HTTPTransferTest, AnAddressWithoutSchemeIsFetchedOverHttp) {
    server.put("a", "plain");
    fetch("127.0.0.1:" + std::to_string(server.port()) + "/files/a");
    EXPECT_EQ(ev.names, std::vector<std::string>{"done"});
    EXPECT_EQ(ev.data, "plain");
}

TEST_F(HTTPTransferTest, IntoAFileReplacesAnOlderOneAndGivesNoData) {
    std::string big(300 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31);
    server.put("vantor", big);
    writeFile(dir / "vantor.uTMP", "old and longer than nothing");
    http->FileName = dir / "vantor.uTMP";
    http->ComputeSha256 = true;
    fetch(server.url("/files/vantor"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"done"});
    EXPECT_FALSE(ev.dataGiven);
    EXPECT_EQ(ev.bytes, big.size());
    EXPECT_EQ(readFile(dir / "vantor.uTMP"), big);
    EXPECT_EQ(http->Sha256().size(), 64u);

    // The same bytes give the same digest; other bytes another.
    ev = Events{};
    server.put("other", big.substr(1));
    fetch(server.url("/files/other"));
    const std::string first = http->Sha256();
    ev = Events{};
    fetch(server.url("/files/vantor"));
    EXPECT_NE(first, http->Sha256());
}

TEST_F(HTTPTransferTest, TwoHundredWithoutLengthIsSuccessWhateverArrives) {
    fetch(server.url("/nolength?size=12345"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"done"});
    EXPECT_EQ(ev.bytes, 12345u);
    EXPECT_EQ(ev.data, std::string(12345, 'n'));
}

TEST_F(HTTPTransferTest, ThousandAnnouncedSixHundredSentIsAConnectionLost) {
    fetch(server.url("/short?announce=1000&send=600"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"connlost"});
    EXPECT_EQ(ev.bytes, 600u);
    EXPECT_EQ(ev.size, 1000u);
    EXPECT_EQ(ev.data, std::string(600, 's'));
}

TEST_F(HTTPTransferTest, AHostThatDoesNotResolveIsUnreachable) {
    // A label longer than 63 characters is refused by the resolver itself, so
    // no name query leaves the machine.
    fetch("http://" + std::string(70, 'a') + ".invalid/x");
    EXPECT_EQ(ev.names, std::vector<std::string>{"unreachable"});
}

TEST_F(HTTPTransferTest, NobodyListeningIsUnreachable) {
    int port = 0;
    {
        HttpTestServer gone;
        port = gone.port();
    }
    fetch("http://127.0.0.1:" + std::to_string(port) + "/x");
    EXPECT_EQ(ev.names, std::vector<std::string>{"unreachable"});
}

TEST_F(HTTPTransferTest, AnErrorStatusWithATargetFileLeavesNoFile) {
    writeFile(dir / "gone.uTMP", "an older file");
    http->FileName = dir / "gone.uTMP";
    fetch(server.url("/files/missing"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"error"});
    EXPECT_EQ(ev.status, 404);
    EXPECT_EQ(ev.data, "not found");
    EXPECT_FALSE(exists(dir / "gone.uTMP"));
}

TEST_F(HTTPTransferTest, FourOhOneAsksForAPasswordAndStands) {
    http->OnPasswordRequest = [this](const std::string& realm) {
        mark("password");
        ev.realm = realm;
    };
    fetch(server.url("/auth"));
    EXPECT_EQ(ev.names, (std::vector<std::string>{"password", "error"}));
    EXPECT_EQ(ev.realm, "updates");
    EXPECT_EQ(ev.status, 401);
    EXPECT_EQ(server.hits("/auth"), 1);  // nothing retried
}

TEST_F(HTTPTransferTest, ARedirectIsFollowed) {
    server.put("moved", "here now");
    fetch(server.url("/redirect?to=" + server.url("/files/moved")));
    EXPECT_EQ(ev.names, std::vector<std::string>{"done"});
    EXPECT_EQ(ev.data, "here now");
}

TEST_F(HTTPTransferTest, ARedirectToNowhereIsUnreachable) {
    int port = 0;
    {
        HttpTestServer gone;
        port = gone.port();
    }
    fetch(server.url("/redirect?to=http://127.0.0.1:" + std::to_string(port) + "/x"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"unreachable"});
}

TEST_F(HTTPTransferTest, AStallAfterTheHeadIsAConnectionLostWithinTheBound) {
    const auto start = std::chrono::steady_clock::now();
    fetch(server.url("/stall?send=100"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"connlost"});
    EXPECT_EQ(ev.bytes, 100u);
    // The stall bound (1 s) plus the library's check interval (about 1 s).
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(HTTPTransferTest, AServerThatNeverAnswersIsUnreachableWithinTheBound) {
    const auto start = std::chrono::steady_clock::now();
    fetch(server.url("/stallhead"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"unreachable"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(HTTPTransferTest, AnEndlessBodyStopsAtTheSizeLimit) {
    if (test::runningUnderWine())
        GTEST_SKIP() << "Wine's WinInet reads the rest of a body when the request's handle closes, and an endless "
                        "body has no rest (Windows closes the connection)";
    http->MaxSize = 100'000;
    http->FileName = dir / "endless.uTMP";
    fetch(server.url("/endless"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"toolarge"});
    EXPECT_FALSE(exists(dir / "endless.uTMP"));
}

// A byte now and then never stalls; the bound on the whole transfer ends it,
// into a file (which goes) or into memory.
TEST_F(HTTPTransferTest, ATricklingServerEndsAtTheTotalBound) {
    for (const bool intoFile : {true, false}) {
        SCOPED_TRACE(intoFile ? "into a file" : "into memory");
        ev = Events{};
        http->FileName = intoFile ? dir / "slow.uTMP" : std::string();
        http->TotalBound = 600ms;
        const auto start = std::chrono::steady_clock::now();
        fetch(server.url("/trickle?size=1000&every=50"));
        EXPECT_EQ(ev.names, std::vector<std::string>{"timedout 600"});
        EXPECT_FALSE(exists(dir / "slow.uTMP"));
        // The bound plus the library's check interval (about 1 s).
        EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    }
    // Without the bound the same server is served to its end.
    ev = Events{};
    http->FileName.clear();
    http->TotalBound = 0ms;
    fetch(server.url("/trickle?size=20&every=20"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"done"});
    EXPECT_EQ(ev.data, std::string(20, 't'));
}

#ifdef _WIN32
// Windows: a download is hidden and temporary while it is one.
TEST_F(HTTPTransferTest, ADownloadIsHiddenAndTemporary) {
    server.put("vantor", "new");
    http->FileName = dir / "vantor.uTMP";
    http->HiddenTemporary = true;
    fetch(server.url("/files/vantor"));
    const DWORD a = GetFileAttributesA((dir / "vantor.uTMP").c_str());
    ASSERT_NE(a, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(a & FILE_ATTRIBUTE_HIDDEN);
    // Wine keeps only the hidden and system attributes of a file on a Unix file system.
    if (!test::runningUnderWine()) EXPECT_TRUE(a & FILE_ATTRIBUTE_TEMPORARY);
    ev = Events{};
    http->FileName = dir / "plain.uTMP";
    http->HiddenTemporary = false;
    fetch(server.url("/files/vantor"));
    EXPECT_FALSE(GetFileAttributesA((dir / "plain.uTMP").c_str()) & FILE_ATTRIBUTE_HIDDEN);
}
#endif

TEST_F(HTTPTransferTest, AnAnnouncedLengthAboveTheLimitIsRefusedAtOnce) {
    server.put("big", std::string(5000, 'b'));
    http->MaxSize = 4999;
    fetch(server.url("/files/big"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"toolarge"});
}

TEST_F(HTTPTransferTest, ATargetThatCannotBeCreatedEndsWithAnErrorAndFreesTheComponent) {
    server.put("a", "bytes");
    http->FileName = dir / "no such folder/a.uTMP";
    fetch(server.url("/files/a"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"fileerror"});
    EXPECT_FALSE(ev.fileError.empty());
    // Not left busy: the next transfer starts.
    ev = Events{};
    http->FileName.clear();
    fetch(server.url("/files/a"));
    EXPECT_EQ(ev.names, std::vector<std::string>{"done"});
}

TEST_F(HTTPTransferTest, ASecondStartIsRefusedWhileBusy) {
    http->URL = server.url("/stall?send=10");
    ASSERT_TRUE(http->Read());
    EXPECT_TRUE(http->Busy());
    http->URL = server.url("/files/x");
    EXPECT_FALSE(http->Read());
    http->Abort();
    ASSERT_TRUE(loop.runUntil([&] { return ev.ended; }, 10s));
    EXPECT_EQ(ev.names, std::vector<std::string>{"stopped"});
}

TEST_F(HTTPTransferTest, AbortEndsWithoutAnOutcomeAndRemovesThePartialFile) {
    http->FileName = dir / "part.uTMP";
    http->StallBound = 20s;  // the abort, not the bound, ends it
    http->OnProgress = [this](const THTTPProgress&) {
        mark("progress");
        http->Abort();
    };
    const auto start = std::chrono::steady_clock::now();
    fetch(server.url("/stall?send=500"));
    EXPECT_EQ(ev.names.back(), "stopped");
    EXPECT_EQ(std::count(ev.names.begin(), ev.names.end(), "stopped"), 1);
    EXPECT_FALSE(exists(dir / "part.uTMP"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(HTTPTransferTest, AClearedContinueFlagSkips) {
    server.put("a", "bytes");
    http->OnHeaderInfo = [this](const THTTPHeaderInfo& h, bool& cont) {
        mark("header");
        ev.headers.push_back(h);
        cont = false;
    };
    fetch(server.url("/files/a"));
    EXPECT_EQ(ev.names, (std::vector<std::string>{"header", "skipped"}));
    EXPECT_EQ(ev.headers[0].Status, 200);
    EXPECT_EQ(ev.headers[0].Size, 5u);
}

TEST_F(HTTPTransferTest, HeaderAndProgressRunOnTheUiThreadWhileTheWorkerWaits) {
    server.put("f", std::string(64 * 1024, 'f'), 1121817600);  // 2005-07-20 00:00:00 UTC
    http->TransferBufferSize = 4096;
    int inHandler = 0;
    bool overlapped = false;
    std::uint64_t lastReceived = 0;
    bool ordered = true;
    http->OnHeaderInfo = [&](const THTTPHeaderInfo& h, bool&) {
        mark("header");
        ev.headers.push_back(h);
    };
    http->OnProgress = [&](const THTTPProgress& p) {
        if (inHandler++) overlapped = true;
        if (ev.progress.empty() || ev.progress.back().Received != p.Received) ev.progress.push_back(p);
        if (p.Received <= lastReceived) ordered = false;
        lastReceived = p.Received;
        // While this runs, the worker does not go on.
        std::this_thread::sleep_for(1ms);
        --inHandler;
        if (!loop.isUiThread()) ev.allOnUiThread = false;
    };
    fetch(server.url("/files/f"));
    EXPECT_EQ(ev.names, (std::vector<std::string>{"header", "done"}));
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(ordered);
    ASSERT_FALSE(ev.progress.empty());
    EXPECT_EQ(ev.progress.back().Received, 64u * 1024);
    EXPECT_EQ(ev.progress.back().Percent, 100);
    EXPECT_EQ(ev.progress.back().URL, server.url("/files/f"));
    EXPECT_EQ(ev.headers[0].LastModified, 1121817600);
    EXPECT_EQ(ev.headers[0].ContentType, "application/octet-stream");
}

TEST_F(HTTPTransferTest, DestroyingABusyTransferDoesNotWait) {
    if (test::runningUnderWine())
        GTEST_SKIP() << "Wine's WinInet does not end a blocked read when its handle is closed (Windows does)";
    http->URL = server.url("/stall?send=10");
    http->StallBound = 30s;
    ASSERT_TRUE(http->Read());
    loop.runUntil([] { return false; }, 200ms);
    const auto start = std::chrono::steady_clock::now();
    http.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    loop.processPending();  // a late outcome finds its owner gone
    EXPECT_TRUE(ev.names.empty());
}

// ---- https -----------------------------------------------------------------------------

TEST(HTTPTransferHttps, ChecksCertificates) {
#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
    GTEST_SKIP() << "the loopback HTTPS server needs OpenSSL, which this build has not";
#else
    TempDir dir;
    const std::string cert = dir / "cert.pem", key = dir / "key.pem";
    const std::string cmd =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
        "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        key + "' -out '" + cert + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    HttpTestServer server(cert, key);
    ASSERT_TRUE(server.running());
    server.put("a", "over tls");

    PlainEventLoop loop;
    std::string outcome, data;
    auto run = [&](const std::string& ca) {
        TCustomHTTP http(loop);
        http.Proxy.AccessType = TProxyAccessType::Direct;
        http.ConnectBound = 3s;
        http.ExtraCaFile = ca;
        http.URL = server.url("/files/a");
        outcome.clear();
        http.OnDone = [&](const std::string&, const std::string* d, std::uint64_t) {
            outcome = "done";
            data = d ? *d : "";
        };
        http.OnHostUnreachable = [&] { outcome = "unreachable"; };
        EXPECT_TRUE(http.Read());
        EXPECT_TRUE(loop.runUntil([&] { return !outcome.empty(); }, 10s));
    };
    run(cert);  // trusted: our own authority
    EXPECT_EQ(outcome, "done");
    EXPECT_EQ(data, "over tls");
    run("");  // the system's authorities do not know it
    EXPECT_EQ(outcome, "unreachable");
#endif
}

// ---- figures and addresses -------------------------------------------------------------

TEST(HTTPTransferFigures, RateAndTimeLeftFollowTheExactTimeTaken) {
    struct Case {
        std::uint64_t size, received;
        long long ms;
        int percent;
        long long elapsed, remaining;
        double rate;  // KiB/s
    };
    const Case cases[] = {
        {1000, 500, 2000, 50, 2, 2, 500 / 1024.0 / 2},
        {0, 4096, 3500, 0, 3, 0, 4 / 3.5},                // no size announced: no estimate
        {1000, 0, 0, 0, 0, 0, 0},                         // nothing yet
        {2048, 1024, 0, 50, 0, 0, 1.0},                   // rate not divided by 0 seconds
        {3, 1, 1000, 33, 1, 2, 1 / 1024.0},               // 33.3 rounds down
        {8, 1, 4000, 12, 4, 28, 1 / 1024.0 / 4},          // 12.5: halves go to the even neighbour
        {8, 3, 10'999, 38, 10, 18, 3 / 1024.0 / 10.999},  // 37.5 -> 38; 5 bytes at 3 per 10.999 s
        {1000, 250, 500, 25, 0, 2, 250 / 1024.0 / 0.5},   // within the first second: 750 bytes at 500 per s
        {1000, 1000, 800, 100, 0, 0, 1000 / 1024.0 / 0.8},
        {32'194'867, 163'840, 10'000, 1, 10, 1955, 16.0},  // 31440.3 KiB at 16 KiB/s
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + "/" + std::to_string(c.received) + "/" + std::to_string(c.ms));
        const auto p = progressFigures(c.size, c.received, std::chrono::milliseconds(c.ms));
        EXPECT_EQ(p.Percent, c.percent);
        EXPECT_EQ(p.Elapsed, c.elapsed);
        EXPECT_EQ(p.Remaining, c.remaining);
        EXPECT_DOUBLE_EQ(p.Rate, c.rate);
    }
}

TEST(HTTPTransferAddress, IsSplitIntoItsParts) {
    auto p = splitAddress("https://user:pw@example.org:8443/Bench/x.inf?a=1#f");
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.Scheme, "https");
    EXPECT_EQ(p.UserName, "user");
    EXPECT_EQ(p.Password, "pw");
    EXPECT_EQ(p.HostName, "example.org");
    EXPECT_EQ(p.Port, 8443);
    EXPECT_EQ(p.UrlPath, "/Bench/x.inf");
    EXPECT_EQ(p.ExtraInfo, "?a=1#f");

    p = splitAddress("example.org/a");
    EXPECT_EQ(p.Scheme, "http");
    EXPECT_EQ(p.Port, 80);
    EXPECT_EQ(withScheme("example.org/a"), "http://example.org/a");
    EXPECT_EQ(withScheme("ftp://x/"), "ftp://x/");

    EXPECT_FALSE(splitAddress("http://" + std::string(256, 'h') + "/").ok);
    EXPECT_FALSE(splitAddress("http://h/" + std::string(2048, 'p')).ok);
    EXPECT_TRUE(splitAddress("http://h/" + std::string(2046, 'p')).ok);
    EXPECT_FALSE(splitAddress("http:///path").ok);
}

TEST_F(HTTPTransferTest, AnAddressTooLongForItsPartsIsUnreachable) {
    fetch("http://127.0.0.1:" + std::to_string(server.port()) + "/" + std::string(3000, 'p'));
    EXPECT_EQ(ev.names, std::vector<std::string>{"unreachable"});
}

}  // namespace

// ---- proxies ---------------------------------------------------------------------------
// The loopback server stands in for a proxy: a request for a host that does not
// resolve reaches it (and gets its 404) only through the proxy.

TEST(HTTPTransferProxy, PreconfiguredNamedAndDirect) {
    HttpTestServer proxy;
    ASSERT_TRUE(proxy.running());
    const std::string host = std::string(70, 'p') + ".invalid";
    PlainEventLoop loop;
    auto fetch = [&](TProxyAccessType type) {
        TCustomHTTP http(loop);
        http.Proxy.AccessType = type;
        http.Proxy.ProxyServer = "127.0.0.1";
        http.Proxy.ProxyPort = proxy.port();
        http.ConnectBound = 2s;
        http.URL = "http://" + host + "/files/a";
        std::string outcome;
        http.OnHTTPError = [&](int status, const std::string&) { outcome = "error " + std::to_string(status); };
        http.OnHostUnreachable = [&] { outcome = "unreachable"; };
        EXPECT_TRUE(http.Read());
        EXPECT_TRUE(loop.runUntil([&] { return !outcome.empty(); }, 10s));
        return outcome;
    };
    if (test::kWindows) {
        // The system's settings are the user's internet settings, not variables
        // of the environment: the direct and the named connection only.
        EXPECT_EQ(fetch(TProxyAccessType::Direct), "unreachable");
        EXPECT_EQ(fetch(TProxyAccessType::UseProxy), "error 404");
        return;
    }
    test::setEnv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.port())).c_str());
    test::unsetEnv("no_proxy");
    test::unsetEnv("NO_PROXY");
    EXPECT_EQ(fetch(TProxyAccessType::Preconfig), "error 404");  // the system's setting
    EXPECT_EQ(fetch(TProxyAccessType::Direct), "unreachable");
    test::setEnv("no_proxy", host.c_str());
    EXPECT_EQ(fetch(TProxyAccessType::Preconfig), "unreachable");  // the system's bypass list
    test::unsetEnv("http_proxy");
    test::unsetEnv("no_proxy");
    EXPECT_EQ(fetch(TProxyAccessType::UseProxy), "error 404");  // the named proxy
    EXPECT_EQ(fetch(TProxyAccessType::Preconfig), "unreachable");
}
