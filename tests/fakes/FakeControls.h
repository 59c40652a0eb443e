// SPDX-License-Identifier: MIT
#pragma once

#include "search/Controls.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace torvash {

/**
 * Controls held in memory, safe from any thread, that record each operation in order. The field texts
 * can be changed at any time, or scripted per read of the seller field; messages are recorded and
 * return at once.
 */
class FakeControls final : public Controls
{
public:
    struct Row
    {
        Text page;
        Text title;
        Text link;
    };

    FakeControls(Text keyword, Text seller) : m_keyword(std::move(keyword)), m_seller(std::move(seller)) {}

    /** Called with the number of the read (1 for the first) before each read of the seller field; what
     *  it returns, when not empty, is the seller text for that read. */
    void scriptSellerReads(std::function<std::optional<Text>(int read)> script)
    {
        const std::scoped_lock guard(m_lock);
        m_sellerScript = std::move(script);
    }

    Text FieldText(InputField field) override
    {
        const std::scoped_lock guard(m_lock);
        if (field == InputField::Keyword) {
            m_operations.push_back("FieldText(keyword)");
            return m_keyword;
        }
        m_operations.push_back("FieldText(seller)");
        ++m_sellerReads;
        if (m_sellerScript)
            if (std::optional<Text> scripted = m_sellerScript(m_sellerReads))
                return *scripted;
        return m_seller;
    }
    void SetSearchButtonEnabled(bool enabled) override
    {
        const std::scoped_lock guard(m_lock);
        m_operations.push_back(enabled ? "SetSearchButtonEnabled(true)" : "SetSearchButtonEnabled(false)");
        m_buttonEnabled = enabled;
    }
    void ClearResultRows() override
    {
        const std::scoped_lock guard(m_lock);
        m_operations.push_back("ClearResultRows");
        m_rows.clear();
    }
    int32_t AppendResultRow() override
    {
        const std::scoped_lock guard(m_lock);
        m_operations.push_back("AppendResultRow");
        m_rows.emplace_back();
        return static_cast<int32_t>(m_rows.size() - 1);
    }
    void SetResultCell(int32_t row, int32_t column, TextView text) override
    {
        const std::scoped_lock guard(m_lock);
        m_operations.push_back("SetResultCell(" + std::to_string(row) + ", " + std::to_string(column) + ")");
        if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
            return;
        Row& cells = m_rows[static_cast<size_t>(row)];
        if (column == kPageColumn)
            cells.page = Text(text);
        else if (column == kTitleColumn)
            cells.title = Text(text);
        else if (column == kLinkColumn)
            cells.link = Text(text);
    }
    Text ResultCellText(int32_t row, int32_t column) override
    {
        const std::scoped_lock guard(m_lock);
        if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
            return {};
        const Row& cells = m_rows[static_cast<size_t>(row)];
        return column == kPageColumn    ? cells.page
               : column == kTitleColumn ? cells.title
               : column == kLinkColumn  ? cells.link
                                        : Text();
    }
    int32_t SelectedResultRow() override { return -1; }
    void ShowMessage(TextView text) override
    {
        const std::scoped_lock guard(m_lock);
        m_operations.push_back("ShowMessage");
        m_messages.emplace_back(text);
    }

    void setSeller(Text seller)
    {
        const std::scoped_lock guard(m_lock);
        m_seller = std::move(seller);
    }
    std::vector<Row> rows() const
    {
        const std::scoped_lock guard(m_lock);
        return m_rows;
    }
    std::vector<Text> messages() const
    {
        const std::scoped_lock guard(m_lock);
        return m_messages;
    }
    std::vector<std::string> operations() const
    {
        const std::scoped_lock guard(m_lock);
        return m_operations;
    }
    bool buttonEnabled() const
    {
        const std::scoped_lock guard(m_lock);
        return m_buttonEnabled;
    }
    int sellerReads() const
    {
        const std::scoped_lock guard(m_lock);
        return m_sellerReads;
    }

private:
    mutable std::mutex m_lock;
    Text m_keyword;
    Text m_seller;
    std::function<std::optional<Text>(int)> m_sellerScript;
    int m_sellerReads = 0;
    bool m_buttonEnabled = true;
    std::vector<Row> m_rows;
    std::vector<Text> m_messages;
    std::vector<std::string> m_operations;
};

} // namespace torvash
