// SPDX-License-Identifier: MIT
#include "fetch/Address.h"

#include "text/TextOperations.h"

namespace torvash {

namespace {

constexpr int32_t kDefaultPort = 80;

/** Where the host begins: after the first "http://", or at the first byte without one. */
int32_t HostStart(TextView address)
{
    const int32_t scheme = FindText(address, "http://", Case::Exact);
    return scheme == -1 ? 1 : scheme + 7;
}

} // namespace

Text HostOfAddress(TextView address, bool keepPort)
{
    const int32_t start = HostStart(address);
    const int32_t slash = FindText(address, "/", start, Case::Exact);
    const int32_t length = slash == -1 ? TextLength(address) - start + 1 : slash - start;
    Text host = MidText(address, start, length);
    if (!keepPort) {
        const int32_t colon = FindText(host, ":", Case::Exact);
        if (colon != -1)
            host = LeftText(host, colon - 1);
    }
    return ToLower(host);
}

Text PathOfAddress(TextView address)
{
    // From where the host begins, not from the first place its text appears: a host such as "h" or
    // "p" also stands inside "http://", and the path would then take in the scheme's "//".
    const int32_t slash = FindText(address, "/", HostStart(address), Case::Exact);
    if (slash == -1)
        return "/";
    return RightText(address, TextLength(address) - slash + 1);
}

int32_t PortOfAddress(TextView address)
{
    const Text hostAndPort = HostOfAddress(address, true);
    const int32_t colon = FindText(hostAndPort, ":", Case::Exact);
    if (colon == -1)
        return kDefaultPort;
    return TruncateToInteger(ToNumber(RightText(hostAndPort, TextLength(hostAndPort) - colon)));
}

} // namespace torvash
