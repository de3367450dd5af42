#pragma once
// A loopback HTTP(S) server for the transfer and update tests, on a free port
// of 127.0.0.1, stopped with the object. Besides plain files it answers the
// faults a transfer must survive; every slow answer gives up when the server
// stops, so a test never waits longer than its own bounds.
//
//   /files/NAME            a file set with put() (404 when there is none),
//                          all at once or a byte at a time (trickle())
//   /status/CODE           an answer with that status and a short text
//   /auth                  401 with a realm
//   /nolength?size=N       N bytes without a Content-Length
//   /short?announce=A&send=S   announces A bytes, sends S, closes
//   /stall?send=S          announces 1000 bytes, sends S, then nothing more
//   /stallhead             accepts and never answers
//   /trickle[/NAME]?size=N&every=MS   announces N bytes ('t'), sends one every MS ms
//   /endless               bytes without end
//   /redirect?to=URL       302 to URL

#include "tests/support/Portable.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vantor::test {

class HttpTestServer {
public:
    // Plain HTTP.
    HttpTestServer() : server_(std::make_unique<httplib::Server>()) { start(); }
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
    // HTTPS with the certificate and key (PEM files).
    HttpTestServer(const std::string& certFile, const std::string& keyFile)
        : server_(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())) {
        https_ = true;
        start();
    }
#endif
    ~HttpTestServer() {
        stopping_ = true;
        server_->stop();
        if (thread_.joinable()) thread_.join();
    }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }
    bool running() const { return port_ > 0; }
    // "http://127.0.0.1:PORT" + path
    std::string url(const std::string& path) const {
        return std::string(https_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
    }

    // Serves bytes at /files/NAME, with a Last-Modified date when given.
    void put(const std::string& name, std::string bytes, std::time_t lastModified = 0) {
        std::lock_guard lock(mutex_);
        files_[name] = {std::move(bytes), lastModified};
    }
    // Serves /files/NAME one byte every interval (its length announced).
    void trickle(const std::string& name, std::string bytes, std::chrono::milliseconds every) {
        std::lock_guard lock(mutex_);
        files_[name] = {std::move(bytes), 0, every};
    }
    void remove(const std::string& name) {
        std::lock_guard lock(mutex_);
        files_.erase(name);
    }
    // Requests served so far, by path.
    int hits(const std::string& path) {
        std::lock_guard lock(mutex_);
        return hits_[path];
    }
    // Requests served so far, all paths.
    int totalHits() {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const auto& [path, count] : hits_) n += count;
        return n;
    }

private:
    struct File {
        std::string bytes;
        std::time_t lastModified = 0;
        std::chrono::milliseconds trickle{0};
    };

    // Sleeps in short steps until the server stops or the limit passes.
    void idle(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!stopping_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    static std::size_t param(const httplib::Request& req, const char* name, std::size_t fallback) {
        return req.has_param(name) ? std::strtoull(req.get_param_value(name).c_str(), nullptr, 10) : fallback;
    }

    void count(const httplib::Request& req) {
        std::lock_guard lock(mutex_);
        ++hits_[req.path];
    }

    void routes() {
        auto& s = *server_;
        s.Get(R"(/files/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            std::lock_guard lock(mutex_);
            auto it = files_.find(req.matches[1].str());
            if (it == files_.end()) {
                res.status = 404;
                res.set_content("not found", "text/plain");
                return;
            }
            if (it->second.lastModified) {
                char date[64];
                const std::tm tm = utcTime(it->second.lastModified);
                std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &tm);
                res.set_header("Last-Modified", date);
            }
            if (it->second.trickle.count() > 0) {
                res.set_content_provider(it->second.bytes.size(), "application/octet-stream",
                                         [this, bytes = it->second.bytes, every = it->second.trickle](
                                             std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                             if (stopping_ || !sink.write(bytes.data() + offset, 1)) return false;
                                             idle(every);
                                             return true;
                                         });
                return;
            }
            res.set_content(it->second.bytes, "application/octet-stream");
        });
        s.Get(R"(/status/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            res.status = std::atoi(req.matches[1].str().c_str());
            res.set_content("status " + req.matches[1].str(), "text/plain");
        });
        s.Get("/auth", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"updates\"");
            res.set_content("who are you", "text/plain");
        });
        s.Get("/nolength", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            const std::size_t size = param(req, "size", 1000);
            res.set_chunked_content_provider(
                "application/octet-stream", [size](std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= size) {
                        sink.done();
                        return true;
                    }
                    const std::string block(std::min<std::size_t>(size - offset, 300), 'n');
                    return sink.write(block.data(), block.size());
                });
        });
        s.Get("/short", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            const std::size_t announce = param(req, "announce", 1000), send = param(req, "send", 600);
            res.set_content_provider(announce, "application/octet-stream",
                                     [send](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset >= send) return false;  // closes the connection
                                         const std::string block(send - offset, 's');
                                         return sink.write(block.data(), block.size());
                                     });
        });
        s.Get("/stall", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            const std::size_t send = param(req, "send", 100);
            res.set_content_provider(1000, "application/octet-stream",
                                     [this, send](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset < send) {
                                             const std::string block(send - offset, 't');
                                             return sink.write(block.data(), block.size());
                                         }
                                         idle(std::chrono::seconds(30));
                                         return false;
                                     });
        });
        s.Get(R"(/trickle(/[^/]+)?)", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            const std::size_t size = param(req, "size", 1000);
            const auto every = std::chrono::milliseconds(param(req, "every", 100));
            res.set_content_provider(size, "application/octet-stream",
                                     [this, every](std::size_t, std::size_t, httplib::DataSink& sink) {
                                         if (stopping_ || !sink.write("t", 1)) return false;
                                         idle(every);
                                         return true;
                                     });
        });
        s.Get("/stallhead", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            idle(std::chrono::seconds(30));
            res.set_content("late", "text/plain");
        });
        s.Get("/endless", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            res.set_chunked_content_provider("application/octet-stream", [this](std::size_t, httplib::DataSink& sink) {
                if (stopping_) return false;
                const std::string block(16 * 1024, 'e');
                return sink.write(block.data(), block.size());
            });
        });
        s.Get("/redirect", [this](const httplib::Request& req, httplib::Response& res) {
            count(req);
            res.set_redirect(req.get_param_value("to"));
        });
    }

    void start() {
        routes();
        server_->set_keep_alive_max_count(1);
        port_ = server_->bind_to_any_port("127.0.0.1");
        if (port_ <= 0) return;
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        for (int i = 0; i < 500 && !server_->is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    std::unique_ptr<httplib::Server> server_;
    bool https_ = false;
    int port_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::map<std::string, File> files_;
    std::map<std::string, int> hits_;
};

}  // namespace vantor::test
