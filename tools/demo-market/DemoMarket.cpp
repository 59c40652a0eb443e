// SPDX-License-Identifier: MIT
#include "DemoMarket.h"

#include <httplib.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace torvash::demo {

namespace {

// 上一页, 下一页, 人付款 ("paid"), 淘宝搜索 ("search")
constexpr std::string_view kPreviousPage = "\xC9\xCF\xD2\xBB\xD2\xB3";
constexpr std::string_view kNextPage = "\xCF\xC2\xD2\xBB\xD2\xB3";
constexpr std::string_view kPaid = "\xC8\xCB\xB8\xB6\xBF\xEE";
constexpr std::string_view kSearchTitle = "\xCC\xD4\xB1\xA6\xCB\xD1\xCB\xF7";
constexpr int kFewPagesModulus = 7; // one keyword in seven has fewer than 100 pages

/** FNV-1a: the same keyword and page always give the same page. */
uint64_t hashOf(std::string_view bytes, uint64_t seed = 1469598103934665603ULL)
{
    uint64_t hash = seed;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

/** A small deterministic generator (xorshift) for one page. */
class PageRandom
{
public:
    explicit PageRandom(uint64_t seed) : m_state(seed | 1U) {}
    uint64_t next()
    {
        m_state ^= m_state << 13U;
        m_state ^= m_state >> 7U;
        m_state ^= m_state << 17U;
        return m_state;
    }
    int below(int bound) { return static_cast<int>(next() % static_cast<uint64_t>(bound)); }

    /** `count` common GBK characters (the first level of hanzi). */
    std::string hanzi(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text.push_back(static_cast<char>(0xB0 + below(0xD7 - 0xB0)));
            text.push_back(static_cast<char>(0xA1 + below(0xFE - 0xA1 + 1)));
        }
        return text;
    }

private:
    uint64_t m_state;
};

/** The keyword as the markup writes it inside a link: every byte outside plain ASCII escaped. */
std::string linkEscaped(std::string_view keyword)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : keyword) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = std::isalnum(byte) != 0 || c == '-' || c == '_' || c == '.';
        if (plain) {
            escaped.push_back(c);
        } else {
            escaped.push_back('%');
            escaped.push_back(kHex[byte >> 4U]);
            escaped.push_back(kHex[byte & 0x0FU]);
        }
    }
    return escaped;
}

/** The keyword as the markup writes it in text and attributes. */
std::string htmlEscaped(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped.push_back(c);
        }
    }
    return escaped;
}

std::string pageLink(std::string_view keyword, int page)
{
    std::string link = "/search?q=" + linkEscaped(keyword) + "&tab=coefp";
    if (page > 1)
        link += "&s=" + std::to_string((page - 1) * kListingsPerPage);
    return link;
}

std::string listing(PageRandom& random, std::string_view keyword, const std::string& seller)
{
    const std::string id = std::to_string(520000000000ULL + random.next() % 100000000000ULL);
    const std::string title = random.hanzi(2) + htmlEscaped(keyword) + random.hanzi(6 + random.below(8));
    return "<div class=\"item J_MouserOnverReq EventCanSelect\" data-category=\"auctions\">"
           "<div class=\"pic-box\"><a class=\"pic-link J_ClickStat\" data-nid=\"" +
           id + "\" href=\"//item.demo.test/item.htm?id=" + id +
           "\" target=\"_blank\"><img class=\"J_ItemPic img\" "
           "src=\"//img.demo.test/bao/" +
           id + ".jpg_180x180.jpg\" alt=\"" + title +
           "\"></a></div>"
           "<div class=\"price g_price\"><span>&yen;</span><strong>" +
           std::to_string(9 + random.below(990)) + ".00</strong></div><div class=\"deal-cnt\">" +
           std::to_string(random.below(9000)) + std::string(kPaid) +
           "</div><div class=\"row title\"><a title=\"" + title +
           "\" href=\"//item.demo.test/item.htm?id=" + id + "\" class=\"J_ClickStat\" target=\"_blank\">" +
           title +
           "</a></div>"
           "<div class=\"shop\"><a class=\"shopname J_MouseEneterLeave\" "
           "href=\"//store.demo.test/shop/view_shop.htm"
           "?user_number_id=" +
           std::to_string(random.below(99999999)) +
           "\" target=\"_blank\"><span class=\"dsrs\">"
           "</span><span>" +
           seller + "</span></a></div><div class=\"location\">" + random.hanzi(2) + "</div></div>\n";
}

/** The pager: the next page's link comes first after "上一页", with one space before its class. */
std::string pager(std::string_view keyword, int page, int lastPage)
{
    std::string html = "<div class=\"pager\"><ul class=\"items\">";
    if (page == 1)
        html += "<li class=\"item prev prev-disabled\"><span>" + std::string(kPreviousPage) + "</span></li>";
    else
        html += "<li class=\"item prev\"><a class=\"J_Ajax num icon-tag\" href=\"" +
                pageLink(keyword, page - 1) + "\">" + std::string(kPreviousPage) + "</a></li>";
    if (page < lastPage)
        html += "<li class=\"item next\"><a href=\"" + pageLink(keyword, page + 1) +
                "\" class=\"J_Ajax num icon-tag\">" + std::string(kNextPage) + "</a></li>";
    for (int number = std::max(1, page - 2); number <= std::min(lastPage, page + 2); ++number)
        html += "<li class=\"item\"><a class=\"J_Ajax num\" href=\"" + pageLink(keyword, number) + "\">" +
                std::to_string(number) + "</a></li>";
    return html + "</ul></div>\n";
}

} // namespace

const std::vector<DemoSeller>& demoSellers()
{
    // 茶叶旗舰店, 小李的店, 老王茶庄, and one in ASCII
    static const std::vector<DemoSeller> sellers = {
        {"\xB2\xE8\xD2\xB6\xC6\xEC\xBD\xA2\xB5\xEA", {1, 7, 7, 7, 37}},
        {"\xD0\xA1\xC0\xEE\xB5\xC4\xB5\xEA", {1, 1}},
        {"\xC0\xCF\xCD\xF5\xB2\xE8\xD7\xAF", {55}},
        {"demo-shop", {2, 10, 100}},
    };
    return sellers;
}

int pageCountFor(std::string_view keyword)
{
    const uint64_t hash = hashOf(keyword);
    if (keyword.empty() || hash % kFewPagesModulus != 0)
        return 100;
    return 10 + static_cast<int>(hash / kFewPagesModulus % 80);
}

std::string resultPage(std::string_view keyword, int page)
{
    const int lastPage = pageCountFor(keyword);
    if (page < 1 || page > lastPage)
        return {};
    PageRandom random(hashOf(keyword, static_cast<uint64_t>(page) * 0x9E3779B97F4A7C15ULL));

    // Which slots the demo sellers take on this page, spread over the page.
    std::vector<std::string> sellers(kListingsPerPage);
    int placed = 0;
    for (const DemoSeller& seller : demoSellers())
        for (const int onPage : seller.pages)
            if (onPage == page)
                sellers[static_cast<size_t>((placed++ * 13 + 3) % kListingsPerPage)] = seller.name;

    std::string html = "<!DOCTYPE html><html><head><meta charset=\"gbk\"><title>" + htmlEscaped(keyword) +
                       "_" + std::string(kSearchTitle) +
                       "</title><link rel=\"stylesheet\" href=\"//g.demo.test/srp.css\">"
                       "</head><body><div id=\"main\"><div class=\"m-itemlist\"><div class=\"items\">\n";
    for (std::string& seller : sellers) {
        if (seller.empty())
            seller = random.hanzi(2 + random.below(3)) + "\xB5\xEA"; // ...店
        html += listing(random, keyword, seller);
    }
    html += "</div></div>\n" + pager(keyword, page, lastPage) + "</div></body></html>\n";
    return html;
}

std::string frontPage()
{
    return "<!DOCTYPE html><html><head><meta charset=\"gbk\"><title>" + std::string(kSearchTitle) +
           "</title></head><body><form action=\"/search\"><input name=\"q\"><input type=\"hidden\" "
           "name=\"tab\" "
           "value=\"coefp\"></form></body></html>\n";
}

struct DemoMarket::Server
{
    httplib::Server http;
    std::thread thread;
};

DemoMarket::DemoMarket() : m_server(std::make_unique<Server>())
{
    httplib::Server& http = m_server->http;
    http.Get("/search", [](const httplib::Request& request, httplib::Response& response) {
        const std::string keyword = request.get_param_value("q");
        const int page = request.has_param("s")
                             ? std::atoi(request.get_param_value("s").c_str()) / kListingsPerPage + 1
                             : 1;
        std::string body = resultPage(keyword, page);
        if (body.empty()) {
            response.status = 404;
            body = frontPage();
        }
        response.set_header("Set-Cookie", "cna=demo" + std::to_string(hashOf(keyword) % 100000) +
                                              "; Path=/; Expires=Fri, 01 Jan 2100 00:00:00 GMT");
        response.set_header("Set-Cookie", "_tb_token_=demo; Path=/");
        response.set_content(body, "text/html; charset=GBK");
    });
    http.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(frontPage(), "text/html; charset=GBK");
    });
}

DemoMarket::~DemoMarket()
{
    stop();
}

int DemoMarket::bind(int port)
{
    m_port = port == 0 ? m_server->http.bind_to_any_port("127.0.0.1")
                       : (m_server->http.bind_to_port("127.0.0.1", port) ? port : -1);
    return m_port;
}

void DemoMarket::run()
{
    m_server->http.listen_after_bind();
}

void DemoMarket::start()
{
    m_server->thread = std::thread([this] { run(); });
    for (int tries = 0; !m_server->http.is_running() && tries < 500; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void DemoMarket::stop()
{
    m_server->http.stop();
    if (m_server->thread.joinable())
        m_server->thread.join();
}

std::string DemoMarket::root() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

} // namespace torvash::demo
