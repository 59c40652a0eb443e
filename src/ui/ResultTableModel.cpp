// SPDX-License-Identifier: MIT
#include "ui/ResultTableModel.h"

#include "platform/GbkText.h"

namespace torvash {

namespace {

bool holds(const std::vector<std::array<Text, ResultTableModel::kColumns>>& rows, int32_t row, int32_t column)
{
    return row >= 0 && static_cast<size_t>(row) < rows.size() && column >= 0 &&
           column < ResultTableModel::kColumns;
}

} // namespace

int ResultTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !holds(m_rows, index.row(), index.column()))
        return {};
    return decodeGbk(m_rows[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())]);
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QString headers[kColumns] = {QString::fromUtf8("页数"), QString::fromUtf8("宝贝名称"),
                                              QString::fromUtf8("宝贝链接")};
    return section >= 0 && section < kColumns ? QVariant(headers[section]) : QVariant();
}

void ResultTableModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int32_t ResultTableModel::appendRow()
{
    const auto row = static_cast<int>(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.emplace_back();
    endInsertRows();
    return row;
}

void ResultTableModel::setCell(int32_t row, int32_t column, TextView text)
{
    if (!holds(m_rows, row, column))
        return;
    m_rows[static_cast<size_t>(row)][static_cast<size_t>(column)] = Text(text);
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

Text ResultTableModel::cell(int32_t row, int32_t column) const
{
    if (!holds(m_rows, row, column))
        return {};
    return m_rows[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

} // namespace torvash
