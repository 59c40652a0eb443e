// SPDX-License-Identifier: MIT
#pragma once

#include "fetch/HttpLayer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace torvash {

/**
 * An HTTP layer that plays a scripted response and records every call, with its arguments, in order.
 * An absent optional argument is recorded as <null>. Handles are numbered from 1 in opening order.
 */
class RecordingHttpLayer final : public HttpLayer
{
public:
    struct Script
    {
        bool sessionFails = false;
        bool connectFails = false;
        bool requestFails = false;
        /** The raw header block, NUL excluded; absent: the query delivers nothing. */
        std::optional<std::string> headerBlock = "HTTP/1.1 200 OK\r\n\r\n";
        /** Bytes each read hands back, in turn, before the reads that return 0. */
        std::vector<std::string> reads = {};
        /** How long each read takes, for tests of waiting. */
        std::chrono::milliseconds readDelay{0};
    };

    // Not one constructor with "= {}": GCC 12 rejects a default argument built from the member
    // initialisers of a class nested in the one being defined.
    RecordingHttpLayer() = default;
    explicit RecordingHttpLayer(Script script) : m_script(std::move(script)) {}

    std::vector<std::string> calls() const
    {
        const std::scoped_lock guard(m_lock);
        return m_calls;
    }

    HttpHandle openSession(TextView userAgent, std::optional<TextView> proxyList, std::stop_token) override
    {
        record("openSession(" + text(userAgent) + ", " + text(proxyList) + ")");
        return m_script.sessionFails ? HttpHandle() : nextHandle();
    }

    HttpHandle connect(HttpHandle session, TextView host, int32_t port, std::optional<TextView> userName,
                       std::optional<TextView> password) override
    {
        record("connect(" + number(session) + ", " + text(host) + ", " + std::to_string(port) + ", " +
               text(userName) + ", " + text(password) + ")");
        return m_script.connectFails ? HttpHandle() : nextHandle();
    }

    HttpHandle openRequest(HttpHandle connection, std::optional<TextView> verb, TextView path,
                           TextView version, bool reload) override
    {
        record("openRequest(" + number(connection) + ", " + text(verb) + ", " + text(path) + ", " +
               text(version) + ", " + (reload ? "reload" : "cached") + ")");
        return m_script.requestFails ? HttpHandle() : nextHandle();
    }

    void sendRequest(HttpHandle request, TextView headerLines, std::optional<TextView> body) override
    {
        record("sendRequest(" + number(request) + ", " + text(headerLines) + ", " + text(body) + ")");
    }

    void queryRawHeaders(HttpHandle request, std::span<char> buffer) override
    {
        record("queryRawHeaders(" + number(request) + ", " + std::to_string(buffer.size()) + ")");
        if (m_script.headerBlock && m_script.headerBlock->size() + 1 <= buffer.size()) {
            std::memcpy(buffer.data(), m_script.headerBlock->data(), m_script.headerBlock->size());
            buffer[m_script.headerBlock->size()] = '\0';
        }
    }

    int32_t readBody(HttpHandle request, std::span<char> buffer) override
    {
        std::this_thread::sleep_for(m_script.readDelay);
        std::string chunk;
        {
            const std::scoped_lock guard(m_lock);
            if (m_nextRead < m_script.reads.size())
                chunk = m_script.reads[m_nextRead++];
        }
        chunk.resize(std::min(chunk.size(), buffer.size()));
        std::memcpy(buffer.data(), chunk.data(), chunk.size());
        record("readBody(" + number(request) + ", " + std::to_string(buffer.size()) +
               ") = " + std::to_string(chunk.size()));
        return static_cast<int32_t>(chunk.size());
    }

    void closeHandle(HttpHandle handle) override { record("closeHandle(" + number(handle) + ")"); }

    void setCookie(TextView address, std::optional<TextView> name, TextView data) override
    {
        record("setCookie(" + text(address) + ", " + text(name) + ", " + text(data) + ")");
    }

private:
    static std::string text(std::optional<TextView> value)
    {
        return value ? "\"" + std::string(value->bytes()) + "\"" : "<null>";
    }
    static std::string number(HttpHandle handle)
    {
        return std::to_string(reinterpret_cast<uintptr_t>(handle.object()));
    }

    HttpHandle nextHandle()
    {
        const std::scoped_lock guard(m_lock);
        return HttpHandle(reinterpret_cast<void*>(++m_handles));
    }

    void record(std::string call)
    {
        const std::scoped_lock guard(m_lock);
        m_calls.push_back(std::move(call));
    }

    Script m_script;
    mutable std::mutex m_lock;
    std::vector<std::string> m_calls;
    uintptr_t m_handles = 0;
    size_t m_nextRead = 0;
};

} // namespace torvash
