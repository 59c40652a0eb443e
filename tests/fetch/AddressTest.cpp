// SPDX-License-Identifier: MIT
#include "fetch/Address.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace torvash {
namespace {

struct AddressCase
{
    const char* address;
    const char* host;         // keepPort false
    const char* hostWithPort; // keepPort true
    const char* path;
    int32_t port;
};

// clang-format off
constexpr AddressCase kAddressCases[] = {
    {"http://www.example.com/search?q=shoes&tab=coefp",
         "www.example.com", "www.example.com", "/search?q=shoes&tab=coefp", 80},
    // Without a scheme the host runs from the first byte.
    {"www.example.com/a/b", "www.example.com", "www.example.com", "/a/b", 80},
    {"http://www.example.com", "www.example.com", "www.example.com", "/", 80},
    {"http://www.example.com/", "www.example.com", "www.example.com", "/", 80},
    // Only a "/" ends the host, so a query straight after it is taken into the host.
    {"http://www.example.com?q=1", "www.example.com?q=1", "www.example.com?q=1", "/", 80},
    // The host is sent lower-cased; the path is sent as written.
    {"http://WWW.Example.COM/Search?Q=Shoes", "www.example.com", "www.example.com", "/Search?Q=Shoes", 80},
    {"http://www.example.com:8080/x", "www.example.com", "www.example.com:8080", "/x", 8080},
    {"http://Example.COM:8080", "example.com", "example.com:8080", "/", 8080},
    {"http://example.com:/x", "example.com", "example.com:", "/x", 0},
    {"http://example.com:abc/x", "example.com", "example.com:abc", "/x", 0},
    // The first "http://" starts the host; a later one is just part of the path.
    {"http://a.example.com/go?to=http://b.example.com/",
         "a.example.com", "a.example.com", "/go?to=http://b.example.com/", 80},
    // A host whose text also stands earlier, within "http://", still has its path start after it.
    {"http://h/x", "h", "h", "/x", 80},
    {"http://p:8080/index.html", "p", "p:8080", "/index.html", 8080},
    {"http://HTTP/x", "http", "http", "/x", 80},
    {"xhttp://x/y", "x", "x", "/y", 80},
    {"http:///x", "", "", "/x", 80},
    {"", "", "", "/", 80},
};
// clang-format on

TEST(AddressTest, SplitsIntoHostPathAndPort)
{
    for (const AddressCase& c : kAddressCases) {
        SCOPED_TRACE(testing::Message() << "address \"" << c.address << "\"");
        EXPECT_EQ(HostOfAddress(c.address, false).bytes(), c.host);
        EXPECT_EQ(HostOfAddress(c.address, true).bytes(), c.hostWithPort);
        EXPECT_EQ(PathOfAddress(c.address).bytes(), c.path);
        EXPECT_EQ(PortOfAddress(c.address), c.port);
    }
}

} // namespace
} // namespace torvash
