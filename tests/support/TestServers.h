// SPDX-License-Identifier: MIT
#pragma once

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace torvash {

/** A cpp-httplib server on 127.0.0.1 and a port of the system's choosing, for well-formed responses. */
class HttpTestServer
{
public:
    HttpTestServer()
    {
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0)
            throw std::runtime_error("cannot bind a test server");
    }
    ~HttpTestServer() { stop(); }

    httplib::Server& routes() { return m_server; }
    void start()
    {
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        for (int tries = 0; !m_server.is_running() && tries < 500; ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    void stop()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] std::string address(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

/**
 * A bare socket server on 127.0.0.1 for responses no HTTP library would send: each connection's
 * request head is read, then `respond` gets the socket and the head and does what the case needs.
 * Stopping closes every socket, which also ends a response that stalls.
 */
class RawResponder
{
public:
    using Respond =
        std::function<void(int socket, const std::string& requestHead, const std::atomic<bool>& stopping)>;

    explicit RawResponder(Respond respond) : m_respond(std::move(respond))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot bind a raw test server");
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { acceptConnections(); });
    }

    ~RawResponder()
    {
        m_stopping = true;
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_acceptor.join();
        {
            const std::scoped_lock guard(m_lock);
            for (const int socket : m_sockets)
                if (socket >= 0)
                    ::shutdown(socket, SHUT_RDWR);
        }
        for (std::thread& connection : m_connections)
            connection.join();
    }

    [[nodiscard]] std::string address(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

    [[nodiscard]] std::vector<std::string> requestHeads() const
    {
        const std::scoped_lock guard(m_lock);
        return m_heads;
    }

    static void sendAll(int socket, const std::string& bytes)
    {
        for (size_t sent = 0; sent < bytes.size();) {
            const ssize_t count = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (count <= 0)
                return;
            sent += static_cast<size_t>(count);
        }
    }

    /** Closes with a reset rather than an orderly end. */
    static void reset(int socket)
    {
        const linger abort{1, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }

private:
    void acceptConnections()
    {
        while (!m_stopping) {
            const int socket = ::accept(m_listener, nullptr, nullptr);
            if (socket < 0)
                return;
            const std::scoped_lock guard(m_lock);
            m_sockets.push_back(socket);
            m_connections.emplace_back([this, socket] { serve(socket); });
        }
    }

    void serve(int socket)
    {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            const ssize_t count = ::recv(socket, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            head.append(buffer, static_cast<size_t>(count));
        }
        {
            const std::scoped_lock guard(m_lock);
            m_heads.push_back(head);
        }
        m_respond(socket, head, m_stopping);
        const std::scoped_lock guard(m_lock);
        std::replace(m_sockets.begin(), m_sockets.end(), socket, -1);
        ::close(socket);
    }

    Respond m_respond;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping = false;
    std::thread m_acceptor;
    mutable std::mutex m_lock;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_connections;
    std::vector<std::string> m_heads;
};

} // namespace torvash
