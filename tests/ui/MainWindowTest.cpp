// SPDX-License-Identifier: MIT
// The window as the program shows it: its controls, how the result list follows the window's size, and
// the keys and header presses it handles or leaves alone.
#include "ui/WindowTestSupport.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>

namespace torvash {
namespace {

using namespace std::chrono_literals;

/** Every control but the list, which alone follows the window's size. */
constexpr const char* kFixedControls[] = {"标签1", "编辑框1", "标签2", "编辑框2", "按钮1", "超级链接框1"};

class MainWindowTest : public WindowTest
{
protected:
    std::map<QString, QRect> fixedControlPlaces() const
    {
        std::map<QString, QRect> places;
        for (const char* name : kFixedControls)
            places[utf8(name)] = control<QWidget>(name)->geometry();
        return places;
    }

    /** Left 1, top 32, the client area's width less 2 and height less 33, never below 0; a minimised
     *  window's client area is 0 x 0. */
    void expectListFitsClientArea() const
    {
        const QSize client = m_window->isMinimized() ? QSize(0, 0) : m_window->size();
        EXPECT_EQ(list()->geometry(),
                  QRect(1, 32, std::max(client.width() - 2, 0), std::max(client.height() - 33, 0)))
            << "client area " << client.width() << "x" << client.height();
    }
};

TEST_F(MainWindowTest, ListFitsTheClientAreaRightAfterShowNotItsStoredPlace)
{
    showWindow();

    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Torvash"));
    EXPECT_EQ(m_window->size(), QSize(586, 361));
    EXPECT_NE(list()->geometry(), QRect(0, 32, 584, 328));
    expectListFitsClientArea();
}

TEST_F(MainWindowTest, ListFollowsMinimiseMaximiseAndRestoreWhileTheOtherControlsStay)
{
    showWindow();
    const std::map<QString, QRect> fixedPlaces = fixedControlPlaces();

    m_window->showMinimized();
    ASSERT_TRUE(spinUntil([this] { return m_window->isMinimized(); }, 2s));
    {
        SCOPED_TRACE("minimised");
        expectListFitsClientArea();
        EXPECT_EQ(fixedControlPlaces(), fixedPlaces);
    }

    m_window->showMaximized();
    ASSERT_TRUE(spinUntil([this] { return m_window->isMaximized(); }, 2s));
    spinFor(20ms);
    {
        SCOPED_TRACE("maximised");
        // The fixed size must give way, or the list could not grow.
        EXPECT_GT(m_window->width(), 586);
        EXPECT_GT(m_window->height(), 361);
        expectListFitsClientArea();
        EXPECT_EQ(fixedControlPlaces(), fixedPlaces);
    }

    m_window->showNormal();
    ASSERT_TRUE(spinUntil([this] { return !m_window->isMaximized() && !m_window->isMinimized(); }, 2s));
    spinFor(20ms);
    {
        SCOPED_TRACE("restored");
        EXPECT_EQ(m_window->size(), QSize(586, 361));
        expectListFitsClientArea();
        EXPECT_EQ(fixedControlPlaces(), fixedPlaces);
        // The border cannot be dragged to another size again.
        EXPECT_EQ(m_window->minimumSize(), QSize(586, 361));
        EXPECT_EQ(m_window->maximumSize(), QSize(586, 361));
    }
}

struct ControlCase
{
    const char* id;
    const char* name;
    const QMetaObject* kind;
    QRect place;
    const char* text; // nullptr for the list, which has none
    bool tabStop;
};

void PrintTo(const ControlCase& control, std::ostream* out)
{
    *out << control.id;
}

class ControlTest : public MainWindowTest, public ::testing::WithParamInterface<ControlCase>
{};

TEST_P(ControlTest, StandsInItsPlaceWithItsStartingText)
{
    const ControlCase& expected = GetParam();
    showWindow();

    const QWidget* widget = control<QWidget>(expected.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->metaObject()->inherits(expected.kind)) << widget->metaObject()->className();
    EXPECT_EQ(widget->geometry(), expected.place);
    EXPECT_TRUE(widget->isVisible());
    EXPECT_TRUE(widget->isEnabled());
    EXPECT_EQ((widget->focusPolicy() & Qt::TabFocus) != 0, expected.tabStop);
    if (expected.text != nullptr) {
        EXPECT_EQ(widget->property("text").toString(), utf8(expected.text));
    }
}

// The list's place is the fitted one of a client area of 586 x 361.
INSTANTIATE_TEST_SUITE_P(
    Controls, ControlTest,
    ::testing::Values(
        ControlCase{"KeywordCaption", "标签1", &QLabel::staticMetaObject, {4, 5, 46, 24}, "关键词：", false},
        ControlCase{"KeywordField", "编辑框1", &QLineEdit::staticMetaObject, {55, 1, 120, 30}, "", true},
        ControlCase{"SellerCaption", "标签2", &QLabel::staticMetaObject, {187, 6, 44, 24}, "旺旺名：", false},
        ControlCase{"SellerField", "编辑框2", &QLineEdit::staticMetaObject, {236, 1, 120, 30}, "", true},
        ControlCase{"SearchButton", "按钮1", &QPushButton::staticMetaObject, {359, 1, 67, 29}, "查找", true},
        ControlCase{
            "Hyperlink", "超级链接框1", &QLabel::staticMetaObject, {427, 5, 73, 24}, "Morvale", false},
        ControlCase{
            "ResultList", "超级列表框1", &QTreeView::staticMetaObject, {1, 32, 584, 328}, nullptr, true}),
    [](const auto& info) { return std::string(info.param.id); });

TEST_F(MainWindowTest, FieldsShowTheirTextCentred)
{
    showWindow();
    for (const char* name : {"编辑框1", "编辑框2"}) {
        SCOPED_TRACE(name);
        QLineEdit* field = control<QLineEdit>(name);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->alignment(), Qt::AlignCenter);
        QTest::keyClicks(field, QStringLiteral("typed"));
        EXPECT_EQ(field->text(), QStringLiteral("typed"));
        EXPECT_EQ(field->alignment(), Qt::AlignCenter);
    }
}

TEST_F(MainWindowTest, ListShowsThreeFixedColumnsAndSelectsOneWholeRow)
{
    showWindow();
    const QTreeView* view = list();
    ASSERT_NE(view, nullptr);

    ASSERT_EQ(rows()->columnCount(), 3);
    const char* const headers[] = {"页数", "宝贝名称", "宝贝链接"};
    const int widths[] = {50, 300, 220};
    for (int column = 0; column < 3; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(rows()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                  utf8(headers[column]));
        EXPECT_EQ(view->header()->sectionSize(column), widths[column]);
    }
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(view->isSortingEnabled());
    EXPECT_FALSE(view->header()->sectionsMovable());
    EXPECT_FALSE(view->header()->isSortIndicatorShown());
}

struct KeyCase
{
    const char* id;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

/** Keys that leave the window open, tried in turn before the Esc that closes it. */
constexpr KeyCase kKeysKeepingTheWindowOpen[] = {
    {"Shift+Esc", Qt::Key_Escape, Qt::ShiftModifier},    {"Ctrl+Esc", Qt::Key_Escape, Qt::ControlModifier},
    {"Alt+Esc", Qt::Key_Escape, Qt::AltModifier},        {"Enter", Qt::Key_Return, Qt::NoModifier},
    {"Keypad Enter", Qt::Key_Enter, Qt::KeypadModifier}, {"F1", Qt::Key_F1, Qt::NoModifier},
};

struct FocusCase
{
    const char* id;
    const char* control;
};

void PrintTo(const FocusCase& focus, std::ostream* out)
{
    *out << focus.id;
}

class KeyTest : public MainWindowTest, public ::testing::WithParamInterface<FocusCase>
{};

TEST_P(KeyTest, OnlyAPlainEscClosesTheWindow)
{
    int searches = 0;
    int closings = 0;
    m_window->setSearchStarter([&] { ++searches; });
    m_window->setClosingStep([&] { ++closings; });
    addRow("001", kTitleOne, "//item.demo.test/1");
    showWindow();
    QWidget* target = control<QWidget>(GetParam().control);
    ASSERT_NE(target, nullptr);
    target->setFocus(Qt::OtherFocusReason);

    for (const KeyCase& key : kKeysKeepingTheWindowOpen) {
        SCOPED_TRACE(key.id);
        ASSERT_TRUE(spinUntil([&] { return QApplication::focusWidget() == target; }, 2s));
        QTest::keyClick(target, key.key, key.modifiers);
        spinFor(5ms);
        EXPECT_TRUE(m_window->isVisible());
        EXPECT_EQ(closings, 0);
        EXPECT_EQ(searches, 0) << "the button is no default button";
    }

    ASSERT_TRUE(spinUntil([&] { return QApplication::focusWidget() == target; }, 2s));
    QTest::keyClick(target, Qt::Key_Escape);
    spinFor(5ms);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(closings, 1);
    EXPECT_EQ(searches, 0);
}

INSTANTIATE_TEST_SUITE_P(Focus, KeyTest,
                         ::testing::Values(FocusCase{"List", "超级列表框1"},
                                           FocusCase{"KeywordField", "编辑框1"},
                                           FocusCase{"SellerField", "编辑框2"}, FocusCase{"Button", "按钮1"}),
                         [](const auto& info) { return std::string(info.param.id); });

TEST_F(MainWindowTest, HeaderPressChangesNeitherTheRowOrderNorTheRows)
{
    showWindow();
    // Out of order on every column, so that any sorting would show.
    addRow("003", kTitleTwo, "//item.demo.test/b");
    addRow("001", kTitleThree, "//item.demo.test/c");
    addRow("", kTitleOne, "//item.demo.test/a");
    const auto shown = [this] {
        std::vector<QString> cells;
        for (int row = 0; row < rows()->rowCount(); ++row)
            for (int column = 0; column < 3; ++column)
                cells.push_back(rows()->index(row, column).data().toString());
        return cells;
    };
    const std::vector<QString> before = shown();
    std::vector<int> topsBefore;
    for (int row = 0; row < 3; ++row)
        topsBefore.push_back(list()->visualRect(rows()->index(row, 0)).top());
    ASSERT_TRUE(std::is_sorted(topsBefore.begin(), topsBefore.end()));

    QHeaderView* header = list()->header();
    QSignalSpy pressed(header, &QHeaderView::sectionPressed);
    QSignalSpy layoutChanged(rows(), &QAbstractItemModel::layoutChanged);
    QSignalSpy reset(rows(), &QAbstractItemModel::modelReset);
    QSignalSpy moved(rows(), &QAbstractItemModel::rowsMoved);
    QSignalSpy dataChanged(rows(), &QAbstractItemModel::dataChanged);
    for (int column = 0; column < 3; ++column)
        for (int press = 0; press < 2; ++press) {
            const QPoint middle(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, middle);
        }
    spinFor(10ms);

    ASSERT_EQ(pressed.count(), 6) << "the presses did not reach the header";
    EXPECT_EQ(shown(), before);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(list()->visualRect(rows()->index(row, 0)).top(), topsBefore[static_cast<size_t>(row)]);
    // The header keeps a sort order of its own for every press; it must stay hidden and unused.
    EXPECT_FALSE(header->isSortIndicatorShown());
    EXPECT_EQ(layoutChanged.count(), 0);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(dataChanged.count(), 0);
    EXPECT_EQ(controls().SelectedResultRow(), -1);
}

} // namespace
} // namespace torvash
