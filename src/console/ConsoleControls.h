// SPDX-License-Identifier: MIT
#pragma once

#include "search/Controls.h"
#include "search/PageAddressList.h"

#include <QTextStream>

#include <cstdint>
#include <mutex>
#include <vector>

namespace torvash {

enum class RowFormat
{
    Table, // aligned columns for reading, and a summary at the end
    Json,  // one JSON object per row and line, and nothing else
};

/**
 * The controls of a search without a window: the fields hold the texts given on the command line, the
 * rows are printed to `out` once complete (their cells set and their page address recorded), progress
 * goes to `err` when `showProgress`, and the run's messages go to `err` as well.
 */
class ConsoleControls final : public Controls
{
public:
    ConsoleControls(Text keyword, Text seller, const PageAddressList& addresses, RowFormat format,
                    QTextStream& out, QTextStream& err, bool showProgress);

    Text FieldText(InputField field) override;
    void SetSearchButtonEnabled(bool enabled) override;
    void ClearResultRows() override;
    int32_t AppendResultRow() override;
    void SetResultCell(int32_t row, int32_t column, TextView text) override;
    Text ResultCellText(int32_t row, int32_t column) override;
    int32_t SelectedResultRow() override;
    void ShowMessage(TextView text) override;

    /** Prints the rows not printed yet, and in table mode the summary; once the run has ended. */
    void finish();
    /** Whether the run ended with one of its field messages. */
    [[nodiscard]] bool refusedInput() const { return m_refusedInput; }

private:
    struct Row
    {
        Text page;
        Text title;
        Text link;
    };

    void printCompleteRows();
    void printRow(const Row& row, const Text& address);
    void printSummary();

    const Text m_keyword;
    const Text m_seller;
    const PageAddressList& m_addresses;
    const RowFormat m_format;
    QTextStream& m_out;
    QTextStream& m_err;
    const bool m_showProgress;

    std::mutex m_lock;
    std::vector<Row> m_rows;
    size_t m_printed = 0;
    bool m_refusedInput = false;
    bool m_headerPrinted = false;
};

} // namespace torvash
