// A loopback HTTP server for bench/http_download.sh: serves one file (read
// into memory once) at /file on 127.0.0.1:PORT until it is ended.
//
//   http_file_server FILE PORT

#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: http_file_server FILE PORT\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    httplib::Server server;
    server.Get("/file", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(bytes.size(), "application/octet-stream",
                                 [&](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                     return sink.write(bytes.data() + offset, std::min<std::size_t>(length, 1 << 20));
                                 });
    });
    return server.listen("127.0.0.1", std::atoi(argv[2])) ? 0 : 1;
}
