// SPDX-License-Identifier: MIT
// The result list's row menu, the pages its commands open, and which addresses may be opened at all.
#include "ui/WindowTestSupport.h"

#include <QCursor>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

namespace torvash {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPageOne = "http://127.0.0.1:9/search?q=tea&tab=coefp";
constexpr const char* kPageTwo = "http://127.0.0.1:9/search?q=tea&tab=coefp&s=44";

constexpr const char* kSearchPageItem = "进入搜索页面";
constexpr const char* kItemPageItem = "进入宝贝页面";

const QPoint kPointer(200, 150);

/**
 * Rows as a run leaves them: two listings of page 1 (the page cell on the first only), a "没有找到"
 * row for page 2, and a first row of page 3 whose address the run has not appended yet.
 */
class RowMenuTest : public WindowTest
{
protected:
    void SetUp() override
    {
        showWindow();
        QCursor::setPos(kPointer);
        ASSERT_EQ(QCursor::pos(), kPointer);
    }

    void addRunRows()
    {
        addRow("001", kTitleOne, "//item.demo.test/item.htm?id=1");
        m_addresses.append(kPageOne);
        addRow("", kTitleTwo, "//item.demo.test/item.htm?id=2");
        m_addresses.append(kPageOne);
        addRow("002", kNotFound, "");
        m_addresses.append(kPageTwo);
        addRow("003", kTitleThree, "//item.demo.test/item.htm?id=3");
    }

    /** Lets a command queued by the menu run, and a message box it shows be seen and closed. */
    void settle(const DialogWatcher& watcher)
    {
        spinUntil([&] { return !m_opened.empty() || !watcher.boxes.empty(); }, 50ms);
        spinFor(10ms);
    }
};

struct OfferCase
{
    const char* id;
    bool rows;
    int selectedRow; // -1: none
    bool offered;
};

void PrintTo(const OfferCase& offer, std::ostream* out)
{
    *out << offer.id;
}

class RowMenuOfferTest : public RowMenuTest, public ::testing::WithParamInterface<OfferCase>
{};

TEST_P(RowMenuOfferTest, MenuIsOfferedOnlyWhereThePageCellIsFilled)
{
    const OfferCase& offer = GetParam();
    if (offer.rows)
        addRunRows();
    if (offer.selectedRow >= 0)
        selectRow(offer.selectedRow);
    ASSERT_EQ(controls().SelectedResultRow(), offer.selectedRow);
    DialogWatcher watcher;

    rightClickInList();
    spinFor(20ms); // a menu opened without waiting for it would show by now

    EXPECT_TRUE(m_opened.empty());
    EXPECT_TRUE(watcher.boxes.empty());
    if (!offer.offered) {
        EXPECT_TRUE(watcher.menus.empty());
        return;
    }
    ASSERT_EQ(watcher.menus.size(), 1U);
    const DialogWatcher::SeenMenu& menu = watcher.menus[0];
    EXPECT_EQ(menu.objectName, utf8("菜单"));
    ASSERT_EQ(menu.actions.size(), 2U);
    const char* const items[] = {kSearchPageItem, kItemPageItem};
    for (size_t index = 0; index < 2; ++index) {
        SCOPED_TRACE(index);
        const DialogWatcher::SeenAction& action = menu.actions[index];
        EXPECT_EQ(action.text, utf8(items[index]));
        EXPECT_TRUE(action.enabled);
        EXPECT_FALSE(action.checkable);
        EXPECT_FALSE(action.hasShortcut);
        EXPECT_FALSE(action.separator);
    }
    EXPECT_EQ(menu.topLeft, menu.cursor + QPoint(3, 3));
    EXPECT_EQ(menu.cursor, kPointer);
}

INSTANTIATE_TEST_SUITE_P(Rows, RowMenuOfferTest,
                         ::testing::Values(OfferCase{"EmptyList", false, -1, false},
                                           OfferCase{"NoSelection", true, -1, false},
                                           OfferCase{"FirstRowOfAPage", true, 0, true},
                                           OfferCase{"LaterRowOfTheSamePage", true, 1, false},
                                           OfferCase{"NotFoundRow", true, 2, true}),
                         [](const auto& info) { return std::string(info.param.id); });

enum class Choosing
{
    LeftClick,
    RightClick,
    EnterKey,
    DirectCall, // the command is called as its item would call it, on a row the menu skips
};

struct CommandCase
{
    const char* id;
    int selectedRow;
    const char* item;
    Choosing choosing;
    const char* opens; // nullptr: nothing
    bool tellsNothingWasFound;
};

void PrintTo(const CommandCase& command, std::ostream* out)
{
    *out << command.id;
}

class RowCommandTest : public RowMenuTest, public ::testing::WithParamInterface<CommandCase>
{};

TEST_P(RowCommandTest, OpensThePageOfTheSelectedRow)
{
    const CommandCase& command = GetParam();
    const bool searchPage = std::string_view(command.item) == kSearchPageItem;
    addRunRows();
    if (command.selectedRow >= 0)
        selectRow(command.selectedRow);
    ASSERT_EQ(controls().SelectedResultRow(), command.selectedRow);
    DialogWatcher watcher;
    watcher.choice = utf8(command.item);
    watcher.chooseWith = command.choosing == Choosing::LeftClick    ? Qt::LeftButton
                         : command.choosing == Choosing::RightClick ? Qt::RightButton
                                                                    : Qt::NoButton;

    if (command.choosing != Choosing::DirectCall)
        rightClickInList();
    else if (searchPage)
        m_window->OpenSearchPage();
    else
        m_window->OpenItemPage();
    settle(watcher);

    EXPECT_EQ(watcher.menus.size(), command.choosing == Choosing::DirectCall ? 0U : 1U);
    if (command.opens == nullptr) {
        EXPECT_TRUE(m_opened.empty()) << m_opened.front().toString().toStdString();
    } else {
        EXPECT_EQ(m_opened, std::vector<QUrl>{QUrl(utf8(command.opens))});
    }
    if (!command.tellsNothingWasFound) {
        EXPECT_TRUE(watcher.boxes.empty());
        return;
    }
    ASSERT_EQ(watcher.boxes.size(), 1U);
    const DialogWatcher::SeenBox& box = watcher.boxes[0];
    EXPECT_EQ(box.text, utf8("都说没找到了，哪有宝贝"));
    EXPECT_EQ(box.caption, utf8("信息："));
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_FALSE(box.hasOwner);
}

// The items can be chosen with either mouse button or the keyboard.
INSTANTIATE_TEST_SUITE_P(
    Commands, RowCommandTest,
    ::testing::Values(
        CommandCase{"SearchPageOfAFirstRow", 0, kSearchPageItem, Choosing::LeftClick, kPageOne, false},
        CommandCase{"ItemPageOfAFirstRow", 0, kItemPageItem, Choosing::RightClick,
                    "http://item.demo.test/item.htm?id=1", false},
        CommandCase{"SearchPageOfANotFoundRow", 2, kSearchPageItem, Choosing::RightClick, kPageTwo, false},
        CommandCase{"ItemPageOfANotFoundRowOpensNothing", 2, kItemPageItem, Choosing::LeftClick, nullptr,
                    true},
        CommandCase{"SearchPageOfARowWithoutItsAddressYet", 3, kSearchPageItem, Choosing::EnterKey, nullptr,
                    false},
        CommandCase{"ItemPageOfARowWithoutItsAddressYet", 3, kItemPageItem, Choosing::EnterKey,
                    "http://item.demo.test/item.htm?id=3", false},
        // Every row of a page has that page's address.
        CommandCase{"SearchPageOfALaterRowOfAPage", 1, kSearchPageItem, Choosing::DirectCall, kPageOne,
                    false},
        CommandCase{"SearchPageWithoutSelection", -1, kSearchPageItem, Choosing::DirectCall, nullptr, false}),
    [](const auto& info) { return std::string(info.param.id); });

TEST_F(RowMenuTest, CommandReadsTheSelectionWhenItRunsNotWhenTheMenuOpened)
{
    addRunRows();
    selectRow(0);
    DialogWatcher watcher;
    watcher.choice = utf8(kSearchPageItem);
    // Moved while the menu is open, just before the item is chosen.
    watcher.mayClose = [this] {
        selectRow(2);
        return true;
    };

    rightClickInList();
    settle(watcher);

    ASSERT_EQ(watcher.menus.size(), 1U);
    EXPECT_EQ(m_opened, std::vector<QUrl>{QUrl(utf8(kPageTwo))});
}

TEST_F(RowMenuTest, HyperlinkOpensTheForumOnALeftPressOnly)
{
    QWidget* hyperlink = control<QLabel>("超级链接框1");
    ASSERT_NE(hyperlink, nullptr);

    QTest::mouseClick(hyperlink, Qt::RightButton);
    QTest::mouseClick(hyperlink, Qt::MiddleButton);
    EXPECT_TRUE(m_opened.empty());

    QTest::mouseClick(hyperlink, Qt::LeftButton);
    EXPECT_EQ(m_opened, std::vector<QUrl>{QUrl(QStringLiteral("http://forum.morvale.example"))});
}

struct AddressCase
{
    const char* id;
    const char* address; // GBK
    const char* opens;   // UTF-8; nullptr: nothing may be opened
};

void PrintTo(const AddressCase& address, std::ostream* out)
{
    *out << address.id;
}

class WebAddressTest : public ::testing::TestWithParam<AddressCase>
{};

TEST_P(WebAddressTest, OnlyWebAddressesReachTheBrowser)
{
    const AddressCase& address = GetParam();
    const std::optional<QUrl> url = WebAddressOf(address.address);
    if (address.opens == nullptr) {
        EXPECT_FALSE(url.has_value()) << url->toString().toStdString();
        return;
    }
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(*url, QUrl(utf8(address.opens))) << url->toString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, WebAddressTest,
    ::testing::Values(AddressCase{"Http", "http://item.demo.test/x?id=1", "http://item.demo.test/x?id=1"},
                      AddressCase{"HttpInCapitals", "HTTP://item.demo.test/x", "http://item.demo.test/x"},
                      AddressCase{"Https", "https://item.demo.test/x", "https://item.demo.test/x"},
                      AddressCase{"HttpsInMixedCase", "hTTpS://item.demo.test/x", "https://item.demo.test/x"},
                      AddressCase{"WithoutScheme", "//item.demo.test/x", "http://item.demo.test/x"},
                      AddressCase{"BareHost", "example.com/x", "http://example.com/x"},
                      // 茶
                      AddressCase{"GbkInThePath", "//item.demo.test/\xB2\xE8", "http://item.demo.test/茶"},
                      AddressCase{"Javascript", "javascript:alert(1)", nullptr},
                      AddressCase{"JavascriptWithSlashes", "javascript://item.demo.test/%0Aalert(1)",
                                  nullptr},
                      AddressCase{"File", "file:///etc/passwd", nullptr},
                      AddressCase{"Ftp", "ftp://x", nullptr}, AddressCase{"Empty", "", nullptr},
                      AddressCase{"SchemeWithoutHost", "http://", nullptr},
                      AddressCase{"NewlineInside", "http://item.demo.test/x\nfile:///etc/passwd", nullptr},
                      AddressCase{"ReturnInside", "http://item.demo.test/x\rfile:///etc/passwd", nullptr}),
    [](const auto& info) { return std::string(info.param.id); });

} // namespace
} // namespace torvash
