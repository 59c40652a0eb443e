// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"

#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>

namespace torvash {

/** A session, connection or request of the HTTP layer; the null handle stands for a failed open. */
class HttpHandle
{
public:
    HttpHandle() = default;
    explicit HttpHandle(void* object) : m_object(object) {}

    [[nodiscard]] void* object() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    friend bool operator==(HttpHandle, HttpHandle) = default;

private:
    void* m_object = nullptr;
};

/**
 * The operations a request worker performs one HTTP request with, in the order it calls them. An
 * absent optional text is the null a caller passes for "none". Implementations are safe to call from
 * several threads at once, each thread on its own handles.
 */
class HttpLayer
{
public:
    virtual ~HttpLayer() = default;

    /** A session; with a proxy list "http=HOST:PORT" plain HTTP goes through that proxy. A stop
     *  requested on `cancel` ends every transfer of the session within 100 ms, as a failure. */
    virtual HttpHandle openSession(TextView userAgent, std::optional<TextView> proxyList,
                                   std::stop_token cancel) = 0;
    virtual HttpHandle connect(HttpHandle session, TextView host, int32_t port,
                               std::optional<TextView> userName, std::optional<TextView> password) = 0;
    /** An absent verb means GET. `reload`: a fresh connection and no cached response. */
    virtual HttpHandle openRequest(HttpHandle connection, std::optional<TextView> verb, TextView path,
                                   TextView version, bool reload) = 0;
    /** Returns once the final response's headers are in, or the request failed; the result tells
     *  nothing, as failures show in what the queries and reads then deliver. */
    virtual void sendRequest(HttpHandle request, TextView headerLines, std::optional<TextView> body) = 0;
    /** The raw header block (status line and header lines, each ending CR LF, then an empty line),
     *  NUL-terminated, when it fits the buffer with its NUL; otherwise the buffer is left as it is. */
    virtual void queryRawHeaders(HttpHandle request, std::span<char> buffer) = 0;
    /** The next body bytes as they arrive, at most the buffer's size; 0 at the end or after a failure. */
    virtual int32_t readBody(HttpHandle request, std::span<char> buffer) = 0;
    virtual void closeHandle(HttpHandle handle) = 0;
    /** Stores a cookie for an address, as if a response from it had set "name=data". */
    virtual void setCookie(TextView address, std::optional<TextView> name, TextView data) = 0;
};

} // namespace torvash
