// SPDX-License-Identifier: MIT
#include "platform/CurlHttpLayer.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace torvash {

namespace {

constexpr long kMaxRedirects = 10;
constexpr size_t kHeaderBlockCeiling = 64 * 1024; // no caller's buffer comes near; beyond it, none is kept
constexpr uintmax_t kCookieFileCeiling = 4 * 1024 * 1024;
constexpr long kReceiveBufferSize = 64 * 1024; // fewer receives than the default, still from the heap
constexpr size_t kPendingCeiling = 64 * 1024;  // body bytes held for the reads, at most, before a pause
constexpr int kPollMilliseconds = 1000;        // a wake-up from a stop cuts any poll short

using EasyHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using HeaderList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

EasyHandle makeEasy()
{
    return EasyHandle(curl_easy_init(), &curl_easy_cleanup);
}

/** Sets an option; a failure leaves the transfer to fail where it matters, so it is only counted. */
template <typename Value> bool setOption(CURL* easy, CURLoption option, Value value)
{
    return curl_easy_setopt(easy, option, value) == CURLE_OK;
}

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool containsIgnoringCase(std::string_view text, std::string_view part)
{
    return lowered(text).find(lowered(part)) != std::string::npos;
}

/** The host of an "http://host[:port][/...]" address, without port or path. */
std::string hostOfCookieAddress(std::string_view address)
{
    constexpr std::string_view scheme = "http://";
    if (address.starts_with(scheme))
        address.remove_prefix(scheme.size());
    return std::string(address.substr(0, address.find_first_of(":/")));
}

/**
 * The path as the caller gave it, with the bytes that cannot stand in a request line (controls, space,
 * bytes of 0x80 and above) and "#", which would end the address, percent-encoded: the server decodes
 * them back to exactly these bytes.
 */
std::string requestTarget(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string target;
    target.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '#') {
            target.push_back('%');
            target.push_back(kHex[byte >> 4U]);
            target.push_back(kHex[byte & 0x0FU]);
        } else {
            target.push_back(c);
        }
    }
    return target;
}

/** The header lines of a block of text, each without its line end; blank lines left out. */
std::vector<std::string> headerLinesOf(std::string_view lines)
{
    std::vector<std::string> result;
    std::istringstream stream{std::string(lines)};
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            result.push_back(std::move(line));
    }
    return result;
}

struct HandleObject
{
    enum class Kind
    {
        Session,
        Connection,
        Request,
    };
    explicit HandleObject(Kind kind) : kind(kind) {}
    virtual ~HandleObject() = default;
    const Kind kind;
};

struct Session final : HandleObject
{
    Session() : HandleObject(Kind::Session) {}
    std::string userAgent;
    std::string proxy; // "" for a direct connection
    std::stop_token cancel;
};

struct Connection final : HandleObject
{
    Connection() : HandleObject(Kind::Connection) {}
    const Session* session = nullptr;
    std::string host;
    int32_t port = 80;
    std::optional<std::string> userName;
    std::optional<std::string> password;
};

template <typename Object> Object* objectOf(HttpHandle handle, HandleObject::Kind kind)
{
    auto* object = static_cast<HandleObject*>(handle.object());
    return object != nullptr && object->kind == kind ? static_cast<Object*>(object) : nullptr;
}

} // namespace

CurlGlobal::CurlGlobal()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlGlobal::~CurlGlobal()
{
    curl_global_cleanup();
}

/**
 * The process's cookies: a libcurl share handle that every transfer of the layer attaches to, so that
 * libcurl's cookie engine reads and writes one store under its locks, and the file that keeps the
 * lasting ones between runs.
 */
class CurlCookieStore
{
public:
    explicit CurlCookieStore(std::filesystem::path file) : m_file(std::move(file)), m_share(curl_share_init())
    {
        curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &CurlCookieStore::lock);
        curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &CurlCookieStore::unlock);
        curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        load();
    }

    ~CurlCookieStore()
    {
        save(Save::Now);
        m_adder.reset(); // the share goes only once no handle uses it
        m_scratch.reset();
        curl_share_cleanup(m_share);
    }

    CurlCookieStore(const CurlCookieStore&) = delete;
    CurlCookieStore& operator=(const CurlCookieStore&) = delete;

    /** Lets a transfer read and store cookies here. */
    void attach(CURL* easy)
    {
        setOption(easy, CURLOPT_SHARE, m_share);
        setOption(easy, CURLOPT_COOKIEFILE, ""); // the engine on, reading no file of its own
    }

    void markChanged() { m_changed = true; }

    /**
     * Stores "Set-Cookie: " + `line` as a response from `host` would have. libcurl takes a cookie line
     * without a domain as one for every host, so it is read into a scratch store with the host as its
     * domain and moved over as the host-only cookie a response sets, matching the one the response's
     * own header may already have stored.
     */
    void addFromResponseLine(const std::string& host, std::string line)
    {
        const bool hostOnly = !containsIgnoringCase(line, "domain=");
        if (hostOnly)
            line += "; domain=" + host;
        const std::scoped_lock guard(m_scratchLock);
        if (!m_scratch) {
            m_scratch = makeEasy();
            if (!m_scratch)
                return;
            setOption(m_scratch.get(), CURLOPT_COOKIEFILE, "");
        }
        setOption(m_scratch.get(), CURLOPT_COOKIELIST, "ALL");
        setOption(m_scratch.get(), CURLOPT_COOKIELIST, ("Set-Cookie: " + line).c_str());
        for (std::string cookie : cookieLines(m_scratch.get())) {
            if (hostOnly)
                cookie = asHostOnly(cookie, host);
            addNetscapeLine(cookie);
        }
        markChanged();
    }

    enum class Save
    {
        Now,
        Unless, // unless the file was written less than a second ago: the next save or the last one
                // catches up, and a search of a hundred pages does not write it a hundred times
    };

    /** Writes the lasting cookies to the file, through a temporary one renamed over it. */
    void save(Save when)
    {
        if (m_file.empty())
            return;
        const auto now = std::chrono::steady_clock::now();
        if (when == Save::Unless) {
            const std::scoped_lock guard(m_fileLock);
            if (now - m_lastSave < std::chrono::seconds(1))
                return;
        }
        if (!m_changed.exchange(false))
            return;
        EasyHandle easy = makeEasy();
        if (!easy)
            return;
        attach(easy.get());
        std::string content = "# Torvash cookies\n";
        const auto epochSeconds = std::chrono::duration_cast<std::chrono::seconds>(
                                      std::chrono::system_clock::now().time_since_epoch())
                                      .count();
        for (const std::string& cookie : cookieLines(easy.get()))
            if (expiryOf(cookie) > epochSeconds)
                content += cookie + "\n";

        const std::scoped_lock guard(m_fileLock);
        m_lastSave = now;
        std::error_code error;
        std::filesystem::create_directories(m_file.parent_path(), error);
        const std::filesystem::path temporary = m_file.string() + ".new";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << content;
            if (!out.flush())
                return;
        }
        std::filesystem::rename(temporary, m_file, error);
    }

private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user)
    {
        static_cast<CurlCookieStore*>(user)->m_locks[static_cast<size_t>(data) % kLockCount].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* user)
    {
        static_cast<CurlCookieStore*>(user)->m_locks[static_cast<size_t>(data) % kLockCount].unlock();
    }

    /** The store's cookies as libcurl writes them to a file, one line each. */
    static std::vector<std::string> cookieLines(CURL* easy)
    {
        std::vector<std::string> lines;
        curl_slist* list = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &list) != CURLE_OK)
            return lines;
        for (const curl_slist* item = list; item != nullptr; item = item->next)
            lines.emplace_back(item->data);
        curl_slist_free_all(list);
        return lines;
    }

    /** Fields of a cookie file line: domain, include-subdomains, path, secure, expiry, name, value. */
    static std::vector<std::string> fieldsOf(const std::string& cookie)
    {
        std::vector<std::string> fields;
        std::istringstream stream(cookie);
        for (std::string field; std::getline(stream, field, '\t');)
            fields.push_back(field);
        return fields;
    }

    static long long expiryOf(const std::string& cookie)
    {
        const std::vector<std::string> fields = fieldsOf(cookie);
        return fields.size() >= 7 ? std::strtoll(fields[4].c_str(), nullptr, 10) : 0;
    }

    static std::string asHostOnly(const std::string& cookie, const std::string& host)
    {
        std::vector<std::string> fields = fieldsOf(cookie);
        if (fields.size() < 7)
            return cookie;
        const bool httpOnly = fields[0].starts_with("#HttpOnly_");
        fields[0] = (httpOnly ? "#HttpOnly_" : "") + host;
        fields[1] = "FALSE";
        std::string line;
        for (const std::string& field : fields)
            line += (line.empty() ? "" : "\t") + field;
        return line;
    }

    /** Adds a cookie file line to the store; the caller holds the scratch lock. */
    void addNetscapeLine(const std::string& cookie)
    {
        if (!m_adder) {
            m_adder = makeEasy();
            if (!m_adder)
                return;
            attach(m_adder.get());
        }
        setOption(m_adder.get(), CURLOPT_COOKIELIST, cookie.c_str());
    }

    void load()
    {
        std::error_code error;
        if (m_file.empty() || std::filesystem::file_size(m_file, error) > kCookieFileCeiling || error)
            return;
        std::ifstream in(m_file, std::ios::binary);
        EasyHandle easy = makeEasy();
        if (!in || !easy)
            return;
        attach(easy.get());
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && (line[0] != '#' || line.starts_with("#HttpOnly_")))
                setOption(easy.get(), CURLOPT_COOKIELIST, line.c_str()); // a line it cannot read, it skips
    }

    static constexpr size_t kLockCount = 8;

    std::filesystem::path m_file;
    CURLSH* m_share;
    std::array<std::mutex, kLockCount> m_locks;
    std::atomic<bool> m_changed = false;
    std::mutex m_fileLock;
    std::chrono::steady_clock::time_point m_lastSave{};
    std::mutex m_scratchLock;
    EasyHandle m_scratch{nullptr, &curl_easy_cleanup}; // a store of its own, for reading one cookie line
    EasyHandle m_adder{nullptr, &curl_easy_cleanup};   // attached to the shared store
};

namespace {

/**
 * One request: a transfer on its own multi handle, driven forward only while the worker asks for
 * something it does not have yet. Body bytes wait in `m_pending` until read, at most what one round of
 * the transfer brings in.
 */
class Request final : public HandleObject
{
public:
    Request(const Connection& connection, std::string verb, std::string path)
        : HandleObject(Kind::Request)
        , m_connection(connection)
        , m_verb(std::move(verb))
        , m_path(std::move(path))
        , m_easy(curl_easy_init())
        , m_multi(curl_multi_init())
    {}

    ~Request() override
    {
        m_stopCallback.reset();
        if (m_added)
            curl_multi_remove_handle(m_multi, m_easy);
        if (m_easy != nullptr)
            curl_easy_cleanup(m_easy);
        if (m_multi != nullptr)
            curl_multi_cleanup(m_multi);
    }

    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    [[nodiscard]] bool usable() const { return m_easy != nullptr && m_multi != nullptr; }

    void send(CurlCookieStore& cookies, std::string_view headerLines, std::optional<std::string_view> body)
    {
        m_cookies = &cookies;
        if (!configure(cookies, headerLines, body) || curl_multi_add_handle(m_multi, m_easy) != CURLM_OK) {
            m_done = true;
            return;
        }
        m_added = true;
        m_stopCallback.emplace(m_connection.session->cancel, StopTransfer{this});
        runUntil([this] { return m_headersComplete; });
    }

    void queryRawHeaders(std::span<char> buffer) const
    {
        if (!m_finalHeadersKept || m_finalHeaders.size() + 1 > buffer.size())
            return;
        std::copy(m_finalHeaders.begin(), m_finalHeaders.end(), buffer.begin());
        buffer[m_finalHeaders.size()] = '\0';
    }

    int32_t read(std::span<char> buffer)
    {
        if (m_pendingFrom == m_pending.size()) {
            if (m_paused) {
                m_paused = false;
                curl_easy_pause(m_easy, CURLPAUSE_CONT); // hands over what it held back, at once
            }
            runUntil([this] { return m_pendingFrom < m_pending.size(); });
        }
        const size_t count = std::min(buffer.size(), m_pending.size() - m_pendingFrom);
        std::copy_n(m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingFrom), count, buffer.begin());
        m_pendingFrom += count;
        if (m_pendingFrom == m_pending.size()) {
            m_pending.clear();
            m_pendingFrom = 0;
        }
        return static_cast<int32_t>(count);
    }

private:
    struct StopTransfer
    {
        Request* request;
        void operator()() const
        {
            request->m_stopped = true;
            curl_multi_wakeup(request->m_multi);
        }
    };

    bool configure(CurlCookieStore& cookies, std::string_view headerLines,
                   std::optional<std::string_view> body)
    {
        CURL* easy = m_easy;
        const Session& session = *m_connection.session;
        const std::string url =
            "http://" + m_connection.host + ":" + std::to_string(m_connection.port) + requestTarget(m_path);
        bool connectionNamed = false;
        for (const std::string& line : headerLinesOf(headerLines)) {
            appendHeader(line);
            connectionNamed = connectionNamed || lowered(line.substr(0, 11)) == "connection:";
        }
        appendHeader("Expect:"); // no "100-continue" round trip before a body
        // The connection is never used again, so the server may close it first: the closing side
        // keeps the port pair waiting for minutes, and a client that closes every connection runs
        // through its local ports and finds each new connection slower to open.
        if (!connectionNamed)
            appendHeader("Connection: close");

        bool ok = setOption(easy, CURLOPT_ERRORBUFFER, m_error.data());
        ok = ok && setOption(easy, CURLOPT_NOSIGNAL, 1L);
        ok = ok && setOption(easy, CURLOPT_URL, url.c_str());
        ok = ok && setOption(easy, CURLOPT_PATH_AS_IS, 1L);
        ok = ok && setOption(easy, CURLOPT_PROTOCOLS_STR, "http");
        ok = ok && setOption(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        ok = ok && setOption(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
        ok = ok && setOption(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        ok = ok && setOption(easy, CURLOPT_USERAGENT, session.userAgent.c_str());
        ok = ok && setOption(easy, CURLOPT_PROXY, session.proxy.c_str()); // "" also ignores proxy variables
        ok = ok && setOption(easy, CURLOPT_FOLLOWLOCATION, 1L);
        ok = ok && setOption(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
        ok = ok && setOption(easy, CURLOPT_FRESH_CONNECT, 1L);
        ok = ok && setOption(easy, CURLOPT_FORBID_REUSE, 1L);
        ok = ok && setOption(easy, CURLOPT_HTTPHEADER, m_headers.get());
        ok = ok && setOption(easy, CURLOPT_HEADERFUNCTION, &Request::onHeaderLine);
        ok = ok && setOption(easy, CURLOPT_HEADERDATA, this);
        ok = ok && setOption(easy, CURLOPT_WRITEFUNCTION, &Request::onBody);
        ok = ok && setOption(easy, CURLOPT_WRITEDATA, this);
        if (m_connection.userName || m_connection.password) {
            ok = ok && setOption(easy, CURLOPT_USERNAME, m_connection.userName.value_or("").c_str());
            ok = ok && setOption(easy, CURLOPT_PASSWORD, m_connection.password.value_or("").c_str());
            ok = ok && setOption(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
        }
        const std::string verb = lowered(m_verb);
        if (verb.empty() || verb == "get") {
            ok = ok && setOption(easy, CURLOPT_HTTPGET, 1L);
        } else if (verb == "post") {
            m_body = std::string(body.value_or(""));
            ok = ok && setOption(easy, CURLOPT_POST, 1L);
            ok = ok && setOption(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_body.size()));
            ok = ok && setOption(easy, CURLOPT_POSTFIELDS, m_body.c_str());
        } else {
            ok = ok && setOption(easy, CURLOPT_CUSTOMREQUEST, m_verb.c_str());
        }
        cookies.attach(easy);
        return ok;
    }

    void appendHeader(const std::string& line)
    {
        curl_slist* list = curl_slist_append(m_headers.get(), line.c_str());
        if (list != nullptr) {
            (void)m_headers.release();
            m_headers.reset(list);
        }
    }

    /** Runs the transfer until `ready` holds, the transfer ends, or a stop is asked for. */
    template <typename Ready> void runUntil(Ready ready)
    {
        while (!ready() && !m_done) {
            if (m_stopped) {
                m_done = true;
                return;
            }
            int running = 0;
            if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
                m_done = true;
                return;
            }
            int queued = 0;
            while (const CURLMsg* message = curl_multi_info_read(m_multi, &queued))
                if (message->msg == CURLMSG_DONE)
                    m_done = true;
            if (ready() || m_done)
                return;
            curl_multi_poll(m_multi, nullptr, 0, kPollMilliseconds, nullptr);
        }
    }

    static size_t onHeaderLine(char* data, size_t size, size_t count, void* user)
    {
        auto* request = static_cast<Request*>(user);
        std::string_view line(data, size * count);
        if (request->m_stopped)
            return 0;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        if (!line.empty()) {
            if (line.size() >= 11 && lowered(line.substr(0, 11)) == "set-cookie:")
                request->m_cookies->markChanged(); // the file is written again when the session closes
            request->m_block.append(line).append("\r\n");
            if (request->m_block.size() > kHeaderBlockCeiling)
                request->m_blockTooLarge = true;
            if (request->m_blockTooLarge)
                request->m_block.clear();
            return size * count;
        }
        request->endHeaderBlock();
        return size * count;
    }

    /** An empty line ended a header block: the final response's, unless one is still to come. */
    void endHeaderBlock()
    {
        long status = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
        const bool interim = status / 100 == 1;
        const bool followed =
            (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
            containsIgnoringCase(m_block, "\r\nLocation:");
        if (!interim && !followed) {
            // A block past the ceiling is not kept, so it is not delivered, as one too big for the
            // caller's buffer would not be; the body still follows.
            m_finalHeadersKept = !m_blockTooLarge;
            m_finalHeaders = m_finalHeadersKept ? m_block + "\r\n" : std::string();
            m_headersComplete = true;
        }
        m_block.clear();
        m_blockTooLarge = false;
    }

    static size_t onBody(char* data, size_t size, size_t count, void* user)
    {
        auto* request = static_cast<Request*>(user);
        if (request->m_stopped)
            return 0;                      // ends the transfer
        request->m_headersComplete = true; // a body comes only after the final headers
        if (request->m_pending.size() - request->m_pendingFrom >= kPendingCeiling) {
            // Enough waits to be read: hold the transfer, so that memory stays bounded and reused.
            request->m_paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        request->m_pending.append(data, size * count);
        return size * count;
    }

    const Connection& m_connection;
    CurlCookieStore* m_cookies = nullptr;
    std::string m_verb;
    std::string m_path;
    std::string m_body;
    CURL* m_easy;
    CURLM* m_multi;
    HeaderList m_headers{nullptr, &curl_slist_free_all};
    std::array<char, CURL_ERROR_SIZE> m_error{};
    bool m_added = false;
    bool m_done = false;
    std::atomic<bool> m_stopped = false;
    std::optional<std::stop_callback<StopTransfer>> m_stopCallback;

    std::string m_block; // the header lines of the response being received
    bool m_blockTooLarge = false;
    std::string m_finalHeaders;
    bool m_finalHeadersKept = false; // the final block is in m_finalHeaders, whole
    bool m_headersComplete = false;
    std::string m_pending;
    size_t m_pendingFrom = 0;
    bool m_paused = false;
};

} // namespace

CurlHttpLayer::CurlHttpLayer(std::filesystem::path cookieFile)
    : m_cookies(std::make_unique<CurlCookieStore>(std::move(cookieFile)))
{}

CurlHttpLayer::~CurlHttpLayer() = default;

std::filesystem::path CurlHttpLayer::defaultCookieFile()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome == '/')
        return std::filesystem::path(dataHome) / "torvash" / "cookies.txt";
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return {};
    return std::filesystem::path(home) / ".local" / "share" / "torvash" / "cookies.txt";
}

HttpHandle CurlHttpLayer::openSession(TextView userAgent, std::optional<TextView> proxyList,
                                      std::stop_token cancel)
{
    auto session = std::make_unique<Session>();
    session->userAgent = std::string(userAgent.bytes());
    if (proxyList) {
        // "http=HOST:PORT": the proxy for plain HTTP, which is all this layer speaks.
        std::string_view list = proxyList->bytes();
        if (list.starts_with("http="))
            list.remove_prefix(5);
        session->proxy = "http://" + std::string(list.substr(0, list.find(' ')));
    }
    session->cancel = std::move(cancel);
    return HttpHandle(session.release());
}

HttpHandle CurlHttpLayer::connect(HttpHandle session, TextView host, int32_t port,
                                  std::optional<TextView> userName, std::optional<TextView> password)
{
    const auto* owner = objectOf<Session>(session, HandleObject::Kind::Session);
    if (owner == nullptr)
        return {};
    auto connection = std::make_unique<Connection>();
    connection->session = owner;
    connection->host = std::string(host.bytes());
    connection->port = port;
    if (userName)
        connection->userName = std::string(userName->bytes());
    if (password)
        connection->password = std::string(password->bytes());
    return HttpHandle(connection.release());
}

HttpHandle CurlHttpLayer::openRequest(HttpHandle connection, std::optional<TextView> verb, TextView path,
                                      TextView, bool)
{
    // Every request is a fresh transfer on a fresh connection and libcurl keeps no cache, so `reload`
    // asks for nothing more; the protocol version is always HTTP/1.1.
    const auto* owner = objectOf<Connection>(connection, HandleObject::Kind::Connection);
    if (owner == nullptr)
        return {};
    auto request =
        std::make_unique<Request>(*owner, std::string(verb.value_or("").bytes()), std::string(path.bytes()));
    if (!request->usable())
        return {};
    return HttpHandle(request.release());
}

void CurlHttpLayer::sendRequest(HttpHandle request, TextView headerLines, std::optional<TextView> body)
{
    if (auto* transfer = objectOf<Request>(request, HandleObject::Kind::Request)) {
        transfer->send(*m_cookies, headerLines.bytes(),
                       body ? std::optional<std::string_view>(body->bytes()) : std::nullopt);
    }
}

void CurlHttpLayer::queryRawHeaders(HttpHandle request, std::span<char> buffer)
{
    if (const auto* transfer = objectOf<Request>(request, HandleObject::Kind::Request))
        transfer->queryRawHeaders(buffer);
}

int32_t CurlHttpLayer::readBody(HttpHandle request, std::span<char> buffer)
{
    auto* transfer = objectOf<Request>(request, HandleObject::Kind::Request);
    return transfer == nullptr ? 0 : transfer->read(buffer);
}

void CurlHttpLayer::closeHandle(HttpHandle handle)
{
    auto* object = static_cast<HandleObject*>(handle.object());
    const bool session = object != nullptr && object->kind == HandleObject::Kind::Session;
    delete object;
    if (session)
        m_cookies->save(CurlCookieStore::Save::Unless);
}

void CurlHttpLayer::setCookie(TextView address, std::optional<TextView> name, TextView data)
{
    std::string line = name ? std::string(name->bytes()) + "=" : std::string();
    line += data.bytes();
    m_cookies->addFromResponseLine(hostOfCookieAddress(address.bytes()), std::move(line));
}

void CurlHttpLayer::saveCookies()
{
    m_cookies->save(CurlCookieStore::Save::Now);
}

} // namespace torvash
