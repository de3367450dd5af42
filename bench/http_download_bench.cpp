// Downloads one address into a file with TCustomHTTP as the updater does
// (header and progress handlers, the SHA-256 of the body), on the plain event
// loop, and prints "seconds bytes". bench/http_download.sh compares it with
// curl(1) against the same loopback server.
//
//   http_download_bench URL FILE [--no-hash]

#include "platform/PlainEventLoop.h"
#include "update/HTTPTransfer.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace vantor;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: http_download_bench URL FILE [--no-hash]\n", stderr);
        return 2;
    }
    PlainEventLoop loop;
    TCustomHTTP http(loop);
    http.URL = argv[1];
    http.FileName = argv[2];
    http.Proxy.AccessType = TProxyAccessType::Direct;
    http.ComputeSha256 = !(argc > 3 && std::strcmp(argv[3], "--no-hash") == 0);
    std::uint64_t progressEvents = 0;
    http.OnHeaderInfo = [](const THTTPHeaderInfo&, bool&) {};
    http.OnProgress = [&](const THTTPProgress&) { ++progressEvents; };
    bool ended = false, ok = false;
    std::uint64_t bytes = 0;
    http.OnDone = [&](const std::string&, const std::string*, std::uint64_t n) {
        ok = true;
        bytes = n;
        ended = true;
    };
    for (auto* e : {&http.OnHostUnreachable, &http.OnSkipped}) *e = [&] { ended = true; };
    http.OnConnLost = [&](const std::string&, std::uint64_t, std::uint64_t) { ended = true; };
    http.OnHTTPError = [&](int, const std::string&) { ended = true; };
    http.OnFileError = [&](const std::string&, const std::string&) { ended = true; };
    const auto start = std::chrono::steady_clock::now();
    http.Read();
    loop.runUntil([&] { return ended; }, std::chrono::minutes(10));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
        std::fputs("http_download_bench: the download failed\n", stderr);
        return 1;
    }
    std::printf("%.4f %llu %llu\n", seconds, static_cast<unsigned long long>(bytes),
                static_cast<unsigned long long>(progressEvents));
    return 0;
}
