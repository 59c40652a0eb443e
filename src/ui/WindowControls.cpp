// SPDX-License-Identifier: MIT
#include "ui/WindowControls.h"

#include "platform/GbkText.h"
#include "ui/MainWindow.h"
#include "ui/ResultTableModel.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTreeView>

#include <memory>

namespace torvash {

template <typename Result>
Result WindowControls::onWindowThread(Result fallback, const std::function<Result()>& work)
{
    {
        const std::scoped_lock guard(m_lock);
        if (m_detached)
            return fallback;
    }
    if (QThread::currentThread() == m_window.thread())
        return work();

    struct Call
    {
        bool done = false;
        Result result;
    };
    auto call = std::make_shared<Call>(Call{false, fallback});
    // Posted with the window as context: should the window go first, the call is dropped with it.
    QMetaObject::invokeMethod(
        &m_window,
        [this, call, work] {
            {
                const std::scoped_lock guard(m_lock);
                if (m_detached)
                    return;
            }
            Result result = work(); // without the lock: a message box runs its own event loop here
            const std::scoped_lock guard(m_lock);
            call->result = std::move(result);
            call->done = true;
            m_done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock guard(m_lock);
    m_done.wait(guard, [&] { return call->done || m_detached; });
    return call->done ? call->result : fallback;
}

void WindowControls::onWindowThread(const std::function<void()>& work)
{
    onWindowThread<bool>(false, [work] {
        work();
        return true;
    });
}

void WindowControls::detach()
{
    const std::scoped_lock guard(m_lock);
    m_detached = true;
    m_done.notify_all();
}

Text WindowControls::FieldText(InputField field)
{
    return onWindowThread<Text>({}, [this, field] {
        const QLineEdit* edit = field == InputField::Keyword ? m_window.m_keyword : m_window.m_seller;
        return encodeGbkLossy(edit->text());
    });
}

void WindowControls::SetSearchButtonEnabled(bool enabled)
{
    onWindowThread([this, enabled] { m_window.m_search->setEnabled(enabled); });
}

void WindowControls::ClearResultRows()
{
    onWindowThread([this] { m_window.m_rows->clear(); });
}

int32_t WindowControls::AppendResultRow()
{
    return onWindowThread<int32_t>(-1, [this] { return m_window.m_rows->appendRow(); });
}

void WindowControls::SetResultCell(int32_t row, int32_t column, TextView text)
{
    // A copy: a caller let go at detach no longer keeps its text alive.
    onWindowThread([this, row, column, copy = Text(text)] { m_window.m_rows->setCell(row, column, copy); });
}

Text WindowControls::ResultCellText(int32_t row, int32_t column)
{
    return onWindowThread<Text>({}, [this, row, column] { return m_window.m_rows->cell(row, column); });
}

int32_t WindowControls::SelectedResultRow()
{
    return onWindowThread<int32_t>(-1, [this] {
        const QModelIndexList rows = m_window.m_list->selectionModel()->selectedRows();
        int32_t first = -1;
        for (const QModelIndex& row : rows)
            if (first == -1 || row.row() < first)
                first = row.row();
        return first;
    });
}

void WindowControls::ShowMessage(TextView text)
{
    const QString message = decodeGbk(text);
    onWindowThread([message] {
        // No owner, and modal for the whole program, as the run's messages are.
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8("信息："), message, QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    });
}

} // namespace torvash
