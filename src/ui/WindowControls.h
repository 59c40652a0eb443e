// SPDX-License-Identifier: MIT
#pragma once

#include "search/Controls.h"

#include <condition_variable>
#include <functional>
#include <mutex>

namespace torvash {

class MainWindow;

/**
 * The control operations carried out on the window. A call from the user-interface thread runs at
 * once; a call from another thread is posted to the user-interface thread, where it runs in its turn
 * (also while a menu or a message box is open there), and the caller waits for it. Once detached, when
 * the window begins to close, every call returns at once with an empty result and the callers still
 * waiting are let go, so that a run on its way out never waits on a window that is gone.
 */
class WindowControls final : public Controls
{
public:
    explicit WindowControls(MainWindow& window) : m_window(window) {}

    Text FieldText(InputField field) override;
    void SetSearchButtonEnabled(bool enabled) override;
    void ClearResultRows() override;
    int32_t AppendResultRow() override;
    void SetResultCell(int32_t row, int32_t column, TextView text) override;
    Text ResultCellText(int32_t row, int32_t column) override;
    int32_t SelectedResultRow() override;
    void ShowMessage(TextView text) override;

    /** User-interface thread: from now on the operations do nothing. */
    void detach();

private:
    /** Runs `work` on the user-interface thread and returns its result, or `fallback` once detached. */
    template <typename Result> Result onWindowThread(Result fallback, const std::function<Result()>& work);
    void onWindowThread(const std::function<void()>& work);

    MainWindow& m_window;
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_detached = false;
};

} // namespace torvash
