// SPDX-License-Identifier: MIT
#pragma once

#include "search/PageAddressList.h"
#include "support/GbkTexts.h"
#include "ui/MainWindow.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QEventLoop>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace torvash {

// Listing titles for rows the tests fill in: 宝贝一, 宝贝二, 宝贝三 (GBK).
inline constexpr const char* kTitleOne = "\xB1\xA6\xB1\xB4\xD2\xBB";
inline constexpr const char* kTitleTwo = "\xB1\xA6\xB1\xB4\xB6\xFE";
inline constexpr const char* kTitleThree = "\xB1\xA6\xB1\xB4\xC8\xFD";

inline QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

/**
 * Runs a real event loop (not a sleep-and-poll one, which would itself stall the window) until
 * `condition` holds or `timeout` passes; whether it held.
 */
inline bool spinUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool held = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        held = condition();
        if (held || std::chrono::steady_clock::now() >= deadline)
            loop.quit();
    });
    poll.start(2);
    loop.exec();
    return held;
}

inline void spinFor(std::chrono::milliseconds time)
{
    spinUntil([] { return false; }, time);
}

/** Types `text` one character at a time, as key presses carrying it; QTest::keyClicks types Latin-1
 *  only. */
inline void typeInto(QWidget* field, const QString& text)
{
    for (const char32_t character : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString::fromUcs4(&character, 1),
                            Qt::NoModifier);
}

/**
 * Looks for the row menu and for message boxes from a timer, which also fires inside their own event
 * loops; records what it saw and closes each once `mayClose` allows: the menu by choosing `choice` (or
 * by closing it when `choice` is empty), a message box with its OK button.
 */
class DialogWatcher
{
public:
    struct SeenAction
    {
        QString text;
        bool enabled;
        bool checkable;
        bool hasShortcut;
        bool separator;
    };
    struct SeenMenu
    {
        QString objectName;
        std::vector<SeenAction> actions;
        QPoint topLeft;
        QPoint cursor;
    };
    struct SeenBox
    {
        QString text;
        QString caption;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
        bool hasOwner;
    };

    DialogWatcher()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { look(); });
        m_timer.start(5);
    }

    QString choice;
    Qt::MouseButton chooseWith = Qt::NoButton; // no button: the item is made current and Enter pressed
    std::function<bool()> mayClose = [] { return true; };
    std::vector<SeenMenu> menus;
    std::vector<SeenBox> boxes;

private:
    void look()
    {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            if (!menu->isVisible() || !mayClose())
                return;
            SeenMenu seen{menu->objectName(), {}, menu->pos(), QCursor::pos()};
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                seen.actions.push_back({action->text(), action->isEnabled(), action->isCheckable(),
                                        !action->shortcut().isEmpty(), action->isSeparator()});
                if (!choice.isEmpty() && action->text() == choice)
                    chosen = action;
            }
            menus.push_back(seen);
            if (chosen != nullptr && chooseWith == Qt::NoButton) {
                menu->setActiveAction(chosen);
                QTest::keyClick(menu, Qt::Key_Return);
            } else if (chosen != nullptr) {
                QTest::mouseClick(menu, chooseWith, Qt::NoModifier, menu->actionGeometry(chosen).center());
            } else {
                menu->close();
            }
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || !mayClose())
            return;
        boxes.push_back({box->text(), box->windowTitle(), box->standardButtons(), box->icon(),
                         box->parentWidget() != nullptr});
        box->button(QMessageBox::Ok)->click();
    }

    QTimer m_timer;
};

/** A window as the program makes it, with an opener that records instead of starting a browser. */
class WindowTest : public ::testing::Test
{
protected:
    WindowTest()
        : m_window(std::make_unique<MainWindow>(m_addresses, [this](const QUrl& url) {
            m_opened.push_back(url);
            return true;
        }))
    {}

    template <typename Control> Control* control(const char* name) const
    {
        return m_window->findChild<Control*>(utf8(name));
    }
    QTreeView* list() const { return control<QTreeView>("超级列表框1"); }
    QAbstractItemModel* rows() const { return list()->model(); }
    Controls& controls() { return m_window->controls(); }

    void showWindow()
    {
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(spinUntil([this] { return m_window->isVisible() && m_window->isActiveWindow(); },
                              std::chrono::seconds(2)));
    }

    /** Adds a row on the user-interface thread, where the operations run at once. */
    void addRow(const char* page, const char* title, const char* link)
    {
        const int32_t row = controls().AppendResultRow();
        controls().SetResultCell(row, kPageColumn, page);
        controls().SetResultCell(row, kTitleColumn, title);
        controls().SetResultCell(row, kLinkColumn, link);
    }

    void selectRow(int row) { list()->setCurrentIndex(rows()->index(row, 0)); }

    /** A right-click in the list, as the platform reports it; returns once any menu has closed. */
    void rightClickInList()
    {
        QWidget* viewport = list()->viewport();
        const QPoint inside(20, 10);
        QContextMenuEvent click(QContextMenuEvent::Mouse, inside, viewport->mapToGlobal(inside));
        QApplication::sendEvent(viewport, &click);
    }

    /**
     * Runs `work` on a thread of its own while this thread's event loop runs; whether it ended in time.
     * A call still waiting then is let go by closing the window.
     */
    bool runOffUiThread(const std::function<void()>& work,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        std::atomic<bool> done = false;
        std::thread thread([&] {
            work();
            done = true;
        });
        const bool inTime = spinUntil([&] { return done.load(); }, timeout);
        if (!inTime)
            m_window->close();
        thread.join();
        return inTime;
    }

    PageAddressList m_addresses;
    std::vector<QUrl> m_opened;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace torvash
