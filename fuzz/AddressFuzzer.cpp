// SPDX-License-Identifier: MIT
// Random addresses: HostOfAddress, PathOfAddress and PortOfAddress give what one walk along the address
// gives: the host from after the first "http://" (or from the start) to the first "/", the path from
// that "/", the port after the host's first ":".
#include "FuzzCheck.h"
#include "PlainNumber.h"
#include "fetch/Address.h"
#include "support/PlainWalk.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

/** A-Z made a-z where they are characters of their own; second bytes of characters stay. */
std::string lowerOnWalk(std::string_view text)
{
    std::string lower;
    for (size_t i = 0; i < text.size(); ++i) {
        const char byte = text[i];
        if (static_cast<unsigned char>(byte) >= 0x80 && i + 1 < text.size()) {
            lower.push_back(byte);
            lower.push_back(text[++i]);
        } else {
            lower.push_back(byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 0x20) : byte);
        }
    }
    return lower;
}

struct PlainAddress
{
    std::string host;
    std::string hostWithPort;
    std::string path;
    int32_t port = 80;
};

PlainAddress plainSplit(std::string_view address)
{
    using torvash::plainwalk::plainFind;
    const int32_t scheme = plainFind(address, "http://", 1, false);
    const size_t hostStart = scheme == -1 ? 0 : static_cast<size_t>(scheme - 1) + 7;
    const int32_t slash = plainFind(address, "/", static_cast<int32_t>(hostStart) + 1, false);
    const size_t hostEnd = slash == -1 ? address.size() : static_cast<size_t>(slash - 1);
    const std::string_view hostWithPort = address.substr(hostStart, hostEnd - hostStart);
    const int32_t colon = plainFind(hostWithPort, ":", 1, false);

    PlainAddress split;
    split.hostWithPort = lowerOnWalk(hostWithPort);
    const size_t hostLength = colon == -1 ? hostWithPort.size() : static_cast<size_t>(colon - 1);
    split.host = lowerOnWalk(hostWithPort.substr(0, hostLength));
    split.path = slash == -1 ? std::string("/") : std::string(address.substr(hostEnd));
    if (colon != -1) {
        const std::string_view digits = hostWithPort.substr(static_cast<size_t>(colon));
        split.port = torvash::plainnumber::truncateToInteger(torvash::plainnumber::readNumber(digits));
    }
    return split;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace torvash;
    const Text address(std::string_view(reinterpret_cast<const char*>(data), size));
    const PlainAddress expected = plainSplit(address.bytes());

    const Text host = HostOfAddress(address, false);
    const Text hostWithPort = HostOfAddress(address, true);
    const Text path = PathOfAddress(address);
    require(host.bytes() == expected.host);
    require(hostWithPort.bytes() == expected.hostWithPort);
    require(path.bytes() == expected.path);
    require(PortOfAddress(address) == expected.port);

    require(!path.empty() && path.bytes().front() == '/');
    require(hostWithPort.bytes().starts_with(host.bytes()));
    return 0;
}
