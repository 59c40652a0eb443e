// SPDX-License-Identifier: MIT
// The fetch benchmark's local server: prints its port, then serves a 100 MiB body at /big and a 150 KB
// result page at /page until its input closes.
#include "RealisticPage.h"

#include <httplib.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <thread>

namespace torvash::bench {
namespace {

constexpr size_t kBigBody = size_t{100} << 20;
constexpr size_t kPageSize = 150 * 1024;

int serve()
{
    httplib::Server server;
    const std::string page = makeRealisticPage(kPageSize, 3);
    const std::string block(64 * 1024, 'x');
    server.Get("/big", [&](const httplib::Request&, httplib::Response& response) {
        // Made as it goes, so that the server's own memory stays small.
        response.set_content_provider(
            kBigBody, "application/octet-stream", [&](size_t offset, size_t length, httplib::DataSink& sink) {
                const size_t count = std::min({length, block.size(), kBigBody - offset});
                return sink.write(block.data(), count);
            });
    });
    server.Get("/page", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(page, "text/html; charset=gbk");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return 1;
    std::thread listener([&] { server.listen_after_bind(); });
    std::cout << port << std::endl; // the driver reads this line
    std::string ignored;
    std::getline(std::cin, ignored); // the driver closes our input when it is done
    server.stop();
    listener.join();
    return 0;
}

} // namespace
} // namespace torvash::bench

int main()
{
    return torvash::bench::serve();
}
