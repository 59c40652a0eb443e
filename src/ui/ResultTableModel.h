// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"

#include <QAbstractTableModel>

#include <array>
#include <vector>

namespace torvash {

/** The result list's rows as the run set them: GBK byte texts, shown decoded. No sorting. */
class ResultTableModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    static constexpr int kColumns = 3;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void clear();
    int32_t appendRow();
    /** Nothing happens for a row or column that does not exist. */
    void setCell(int32_t row, int32_t column, TextView text);
    /** The cell's bytes, whole; empty for a row or column that does not exist. */
    [[nodiscard]] Text cell(int32_t row, int32_t column) const;

private:
    std::vector<std::array<Text, kColumns>> m_rows;
};

} // namespace torvash
