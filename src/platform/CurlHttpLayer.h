// SPDX-License-Identifier: MIT
#pragma once

#include "fetch/HttpLayer.h"

#include <filesystem>
#include <memory>

namespace torvash {

/** libcurl's global set-up for as long as it lives; one in main, before any thread starts. */
class CurlGlobal
{
public:
    CurlGlobal();
    ~CurlGlobal();
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;
};

class CurlCookieStore;

/**
 * The HTTP layer on libcurl. Each request is one transfer on a fresh connection, driven from the
 * worker's own calls: sending runs it until the final response's headers are in, each read runs it
 * until more body bytes are there. Redirects are followed, chunked bodies decoded, nothing cached.
 *
 * One cookie store serves every request of the layer, from any thread. Cookies with a future expiry
 * are kept in a cookie file, read when the layer is made and written (atomically) after a change when
 * a session closes, at most once a second, and when the layer goes; a missing, unreadable or corrupt
 * file is ignored.
 */
class CurlHttpLayer final : public HttpLayer
{
public:
    /** No file is read or written when `cookieFile` is empty. */
    explicit CurlHttpLayer(std::filesystem::path cookieFile);
    ~CurlHttpLayer() override;

    /** $XDG_DATA_HOME/torvash/cookies.txt, or ~/.local/share/torvash/cookies.txt. */
    static std::filesystem::path defaultCookieFile();

    HttpHandle openSession(TextView userAgent, std::optional<TextView> proxyList,
                           std::stop_token cancel) override;
    HttpHandle connect(HttpHandle session, TextView host, int32_t port, std::optional<TextView> userName,
                       std::optional<TextView> password) override;
    HttpHandle openRequest(HttpHandle connection, std::optional<TextView> verb, TextView path,
                           TextView version, bool reload) override;
    void sendRequest(HttpHandle request, TextView headerLines, std::optional<TextView> body) override;
    void queryRawHeaders(HttpHandle request, std::span<char> buffer) override;
    int32_t readBody(HttpHandle request, std::span<char> buffer) override;
    void closeHandle(HttpHandle handle) override;
    void setCookie(TextView address, std::optional<TextView> name, TextView data) override;

    /** Writes the cookie file now, if the cookies changed since it was last written. */
    void saveCookies();

private:
    std::unique_ptr<CurlCookieStore> m_cookies;
};

} // namespace torvash
