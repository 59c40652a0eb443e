// SPDX-License-Identifier: MIT
#pragma once

#include "text/Text.h"

#include <cstdint>

namespace torvash {

/** The two input fields: the search keyword (编辑框1) and the seller's messenger name (编辑框2). */
enum class InputField
{
    Keyword,
    Seller,
};

/** The result list's columns. */
inline constexpr int32_t kPageColumn = 0;
inline constexpr int32_t kTitleColumn = 1;
inline constexpr int32_t kLinkColumn = 2;

/**
 * What the search run and the row menu see of the window: the field texts, the search button, the
 * result rows and their selection, and the run's message to the user. May be called from any thread;
 * an implementation carries the calls out one at a time, in the order they arrive, and the caller
 * waits for each. Rows and columns count from 0.
 */
class Controls
{
public:
    virtual ~Controls() = default;

    /** A fresh copy of the field's text; spaces are kept, trimming is the caller's business. */
    virtual Text FieldText(InputField field) = 0;
    virtual void SetSearchButtonEnabled(bool enabled) = 0;
    virtual void ClearResultRows() = 0;
    /** Adds a row of three empty cells after the last and returns its index. */
    virtual int32_t AppendResultRow() = 0;
    /** Nothing happens for a row or column that does not exist. */
    virtual void SetResultCell(int32_t row, int32_t column, TextView text) = 0;
    /** The cell's whole text; empty for a row or column that does not exist, row -1 included. */
    virtual Text ResultCellText(int32_t row, int32_t column) = 0;
    /** The first selected row, or -1. */
    virtual int32_t SelectedResultRow() = 0;
    /** The text with the caption "信息：" and an OK button; returns when the user has closed it. */
    virtual void ShowMessage(TextView text) = 0;
};

} // namespace torvash
