// SPDX-License-Identifier: MIT
#include "console/ConsoleControls.h"

#include "platform/GbkText.h"
#include "search/SearchRun.h"
#include "text/TextOperations.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace torvash {

namespace {

constexpr int kPageWidth = 5;
constexpr int kTitleWidth = 48;

/** Columns a character takes in a terminal: two for the wide East Asian ones. */
int columnsOf(char32_t c)
{
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

/** The text cut to `width` columns (with "…" where cut) and padded with spaces to them. */
QString fitted(const QString& text, int width)
{
    const QList<uint> characters = text.toUcs4();
    int used = 0;
    for (const uint c : characters)
        used += columnsOf(c);
    QString out;
    if (used <= width) {
        out = text;
    } else {
        used = 0;
        for (const uint c : characters) {
            if (used + columnsOf(c) > width - 1)
                break;
            used += columnsOf(c);
            out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
        }
        out += QChar(0x2026);
        ++used;
    }
    return out + QString(width - used, QChar(' '));
}

} // namespace

ConsoleControls::ConsoleControls(Text keyword, Text seller, const PageAddressList& addresses,
                                 RowFormat format, QTextStream& out, QTextStream& err, bool showProgress)
    : m_keyword(std::move(keyword))
    , m_seller(std::move(seller))
    , m_addresses(addresses)
    , m_format(format)
    , m_out(out)
    , m_err(err)
    , m_showProgress(showProgress)
{}

Text ConsoleControls::FieldText(InputField field)
{
    return field == InputField::Keyword ? m_keyword : m_seller;
}

void ConsoleControls::SetSearchButtonEnabled(bool) {}

void ConsoleControls::ClearResultRows()
{
    const std::scoped_lock guard(m_lock);
    m_rows.clear();
    m_printed = 0;
}

int32_t ConsoleControls::AppendResultRow()
{
    const std::scoped_lock guard(m_lock);
    printCompleteRows(); // the row before this one is complete now, its address recorded
    m_rows.emplace_back();
    return static_cast<int32_t>(m_rows.size() - 1);
}

void ConsoleControls::SetResultCell(int32_t row, int32_t column, TextView text)
{
    const std::scoped_lock guard(m_lock);
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
        return;
    Row& cells = m_rows[static_cast<size_t>(row)];
    switch (column) {
    case kPageColumn:
        cells.page = Text(text);
        if (m_showProgress && !text.empty()) {
            m_err << "\rpage " << decodeGbk(text).toInt() << "/" << kResultPages << Qt::flush;
        }
        break;
    case kTitleColumn:
        cells.title = Text(text);
        break;
    case kLinkColumn:
        cells.link = Text(text);
        break;
    default:
        break;
    }
}

Text ConsoleControls::ResultCellText(int32_t row, int32_t column)
{
    const std::scoped_lock guard(m_lock);
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
        return {};
    const Row& cells = m_rows[static_cast<size_t>(row)];
    switch (column) {
    case kPageColumn:
        return cells.page;
    case kTitleColumn:
        return cells.title;
    case kLinkColumn:
        return cells.link;
    default:
        return {};
    }
}

int32_t ConsoleControls::SelectedResultRow()
{
    return -1;
}

void ConsoleControls::ShowMessage(TextView text)
{
    const std::scoped_lock guard(m_lock);
    m_refusedInput = true;
    m_err << QString::fromUtf8("信息：") << decodeGbk(text) << "\n" << Qt::flush;
}

void ConsoleControls::finish()
{
    const std::scoped_lock guard(m_lock);
    printCompleteRows();
    if (m_showProgress)
        m_err << "\r" << QString(20, QChar(' ')) << "\r" << Qt::flush;
    if (m_format == RowFormat::Table && !m_refusedInput)
        printSummary();
    m_out.flush();
}

void ConsoleControls::printCompleteRows()
{
    // A row is complete once the address list has its entry: the run records it after the cells.
    const auto recorded = static_cast<size_t>(m_addresses.count());
    for (; m_printed < m_rows.size() && m_printed < recorded; ++m_printed)
        printRow(m_rows[m_printed], m_addresses.entryAt(static_cast<int32_t>(m_printed)));
    m_out.flush();
}

void ConsoleControls::printRow(const Row& row, const Text& address)
{
    if (m_format == RowFormat::Json) {
        const QJsonObject object{{"page", decodeGbk(row.page)},
                                 {"title", decodeGbk(row.title)},
                                 {"link", decodeGbk(row.link)},
                                 {"address", decodeGbk(address)}};
        m_out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << "\n";
        return;
    }
    if (!m_headerPrinted) {
        m_out << fitted("Page", kPageWidth) << fitted("Title", kTitleWidth) << " Link\n";
        m_headerPrinted = true;
    }
    m_out << fitted(decodeGbk(row.page), kPageWidth) << fitted(decodeGbk(row.title), kTitleWidth) << " "
          << decodeGbk(row.link) << "\n";
}

void ConsoleControls::printSummary()
{
    QStringList pages;
    const Row* first = nullptr;
    QString firstPage;
    QString page;
    for (const Row& row : m_rows) {
        if (!row.page.empty())
            page = decodeGbk(row.page);
        if (CompareText(row.title, kNotFoundTitle) == 0 && !row.page.empty())
            continue;
        if (pages.isEmpty() || pages.last() != page)
            pages << page;
        if (first == nullptr) {
            first = &row;
            firstPage = page;
        }
    }
    m_out << "\n";
    if (first == nullptr) {
        m_out << "The seller is on none of the " << kResultPages << " pages.\n";
        return;
    }
    m_out << "The seller is on " << pages.size() << (pages.size() == 1 ? " page: " : " pages: ")
          << pages.join(", ") << "\n"
          << "First found on page " << firstPage << ": " << decodeGbk(first->title) << "\n"
          << "  " << decodeGbk(first->link) << "\n";
}

} // namespace torvash
