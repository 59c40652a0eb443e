// SPDX-License-Identifier: MIT
// The control operations on the real window, from the user-interface thread and from others.
#include "app/EndToEndSupport.h"
#include "platform/GbkText.h"
#include "ui/WindowTestSupport.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

namespace torvash {
namespace {

using namespace std::chrono_literals;

/** A link of exactly 2000 bytes, with double-byte characters (茶) along it. */
Text longLink()
{
    std::string link = "http://item.demo.test/item.htm?id=";
    while (link.size() < 2000)
        link += link.size() % 7 == 0 && link.size() + 2 <= 2000 ? "\xB2\xE8" : "a";
    return Text(std::string_view(link));
}

class WindowControlsTest : public WindowTest
{
protected:
    void SetUp() override { showWindow(); }
};

class LongCellTest : public WindowControlsTest, public ::testing::WithParamInterface<bool>
{};

TEST_P(LongCellTest, ComesBackWhole)
{
    const bool offUiThread = GetParam();
    const Text link = longLink();
    ASSERT_EQ(link.length(), 2000);
    Text back;
    const auto roundTrip = [&] {
        const int32_t row = controls().AppendResultRow();
        controls().SetResultCell(row, kLinkColumn, link);
        back = controls().ResultCellText(row, kLinkColumn);
    };

    if (offUiThread)
        ASSERT_TRUE(runOffUiThread(roundTrip));
    else
        roundTrip();

    EXPECT_EQ(back, link);
    ASSERT_EQ(rows()->rowCount(), 1);
    EXPECT_EQ(rows()->index(0, kLinkColumn).data().toString(), decodeGbk(link));
}

INSTANTIATE_TEST_SUITE_P(Threads, LongCellTest, ::testing::Bool(), [](const auto& info) {
    return info.param ? "FromAnotherThread" : "FromTheUiThread";
});

struct TypedCase
{
    const char* id;
    const char* field;
    InputField which;
    const char* typed;    // UTF-8
    const char* expected; // GBK
};

void PrintTo(const TypedCase& typed, std::ostream* out)
{
    *out << typed.id;
}

class FieldTextTest : public WindowControlsTest, public ::testing::WithParamInterface<TypedCase>
{};

TEST_P(FieldTextTest, ReadsTheTypedTextAsGbk)
{
    const TypedCase& typed = GetParam();
    QLineEdit* field = control<QLineEdit>(typed.field);
    ASSERT_NE(field, nullptr);
    field->setFocus(Qt::OtherFocusReason);
    typeInto(field, utf8(typed.typed));
    ASSERT_EQ(field->text(), utf8(typed.typed));
    const InputField other = typed.which == InputField::Keyword ? InputField::Seller : InputField::Keyword;

    EXPECT_EQ(controls().FieldText(typed.which).bytes(), typed.expected);
    EXPECT_EQ(controls().FieldText(other).bytes(), "");
    Text fromRun;
    ASSERT_TRUE(runOffUiThread([&] { fromRun = controls().FieldText(typed.which); }));
    EXPECT_EQ(fromRun.bytes(), typed.expected);
}

// 茶叶, 茶叶旗舰店
INSTANTIATE_TEST_SUITE_P(
    Fields, FieldTextTest,
    ::testing::Values(TypedCase{"Keyword", "编辑框1", InputField::Keyword, "茶叶", "\xB2\xE8\xD2\xB6"},
                      TypedCase{"SellerWithSpacesKept", "编辑框2", InputField::Seller, "  茶叶旗舰店 ",
                                "  \xB2\xE8\xD2\xB6\xC6\xEC\xBD\xA2\xB5\xEA "},
                      TypedCase{"OnlySpaces", "编辑框1", InputField::Keyword, "   ", "   "},
                      TypedCase{"CharacterWithoutGbkForm", "编辑框2", InputField::Seller,
                                "a\xF0\x9F\x98\x80"
                                "b",
                                "a?b"},
                      TypedCase{"Nothing", "编辑框1", InputField::Keyword, "", ""}),
    [](const auto& info) { return std::string(info.param.id); });

TEST_F(WindowControlsTest, RowsCountFromZeroAgainAfterClearingAndTheSelectionGoes)
{
    EXPECT_EQ(controls().SelectedResultRow(), -1);
    EXPECT_EQ(controls().AppendResultRow(), 0);
    EXPECT_EQ(controls().AppendResultRow(), 1);
    EXPECT_EQ(controls().AppendResultRow(), 2);
    selectRow(1);
    EXPECT_EQ(controls().SelectedResultRow(), 1);

    controls().ClearResultRows();

    EXPECT_EQ(rows()->rowCount(), 0);
    EXPECT_EQ(controls().SelectedResultRow(), -1);
    EXPECT_EQ(controls().AppendResultRow(), 0);
    EXPECT_EQ(controls().AppendResultRow(), 1);
    EXPECT_EQ(controls().SelectedResultRow(), -1);
}

struct CellCase
{
    const char* id;
    int32_t row;
    int32_t column;
};

void PrintTo(const CellCase& cell, std::ostream* out)
{
    *out << cell.id;
}

class MissingCellTest : public WindowControlsTest, public ::testing::WithParamInterface<CellCase>
{};

TEST_P(MissingCellTest, ReadsEmptyAndCannotBeWritten)
{
    const CellCase& cell = GetParam();
    addRow("001", "title", "//item.demo.test/1");
    QSignalSpy changed(rows(), &QAbstractItemModel::dataChanged);

    controls().SetResultCell(cell.row, cell.column, "x");

    EXPECT_EQ(controls().ResultCellText(cell.row, cell.column).bytes(), "");
    EXPECT_EQ(changed.count(), 0);
    ASSERT_EQ(rows()->rowCount(), 1);
    EXPECT_EQ(controls().ResultCellText(0, kPageColumn).bytes(), "001");
    EXPECT_EQ(controls().ResultCellText(0, kTitleColumn).bytes(), "title");
    EXPECT_EQ(controls().ResultCellText(0, kLinkColumn).bytes(), "//item.demo.test/1");
}

INSTANTIATE_TEST_SUITE_P(Cells, MissingCellTest,
                         ::testing::Values(CellCase{"RowMinusOne", -1, kPageColumn},
                                           CellCase{"RowPastTheEnd", 1, kPageColumn},
                                           CellCase{"LargestRow", INT32_MAX, kLinkColumn},
                                           CellCase{"SmallestRow", INT32_MIN, kTitleColumn},
                                           CellCase{"ColumnThree", 0, 3}, CellCase{"ColumnMinusOne", 0, -1}),
                         [](const auto& info) { return std::string(info.param.id); });

enum class Modal
{
    Message, // the run's message, shown from its thread
    RowMenu,
};

void PrintTo(Modal modal, std::ostream* out)
{
    *out << (modal == Modal::Message ? "message" : "row menu");
}

class ModalTest : public WindowControlsTest, public ::testing::WithParamInterface<Modal>
{};

TEST_P(ModalTest, CallsFromOtherThreadsAreCarriedOutWhileItIsOpen)
{
    // 请稍候
    constexpr const char* kMessage = "\xC7\xEB\xC9\xD4\xBA\xF2";
    addRow("001", "title", "//item.demo.test/1");
    selectRow(0);
    std::atomic<bool> open = false;
    std::atomic<bool> callsDone = false;
    std::atomic<bool> closed = false;
    std::atomic<bool> callerEnded = false;
    bool callsDoneBeforeClosing = false;
    std::chrono::steady_clock::time_point openedAt;
    DialogWatcher watcher;
    // Runs inside the box's or the menu's own event loop: it stays open until the calls are through, or
    // until it is clear that they wait for it.
    watcher.mayClose = [&] {
        if (!open) {
            openedAt = std::chrono::steady_clock::now();
            open = true;
        }
        if (!callsDone && std::chrono::steady_clock::now() - openedAt < 2s)
            return false;
        callsDoneBeforeClosing = callsDone;
        return true;
    };
    int32_t row = -2;
    Text cellWhileOpen;
    std::thread caller([&] {
        if (waitFor([&] { return open.load(); }, 5s)) {
            row = controls().AppendResultRow();
            controls().SetResultCell(row, kTitleColumn, "while it is open");
            cellWhileOpen = controls().ResultCellText(row, kTitleColumn);
            callsDone = true;
        }
        callerEnded = true;
    });
    std::thread messenger;
    if (GetParam() == Modal::Message) {
        messenger = std::thread([&] {
            controls().ShowMessage(kMessage);
            closed = true;
        });
    } else {
        rightClickInList();
        closed = true;
    }

    const bool ended = spinUntil([&] { return closed && callerEnded; }, 10s);
    if (!ended)
        m_window->close(); // lets every caller go
    if (messenger.joinable())
        messenger.join();
    caller.join();

    ASSERT_TRUE(ended);
    ASSERT_TRUE(callsDone) << "it never opened";
    EXPECT_TRUE(callsDoneBeforeClosing) << "the calls waited for it to close";
    EXPECT_EQ(row, 1);
    EXPECT_EQ(cellWhileOpen.bytes(), "while it is open");
    if (GetParam() == Modal::RowMenu) {
        EXPECT_EQ(watcher.menus.size(), 1U);
        return;
    }
    ASSERT_EQ(watcher.boxes.size(), 1U);
    EXPECT_EQ(watcher.boxes[0].text, decodeGbk(kMessage));
    EXPECT_EQ(watcher.boxes[0].caption, utf8("信息："));
    EXPECT_FALSE(watcher.boxes[0].hasOwner);
}

INSTANTIATE_TEST_SUITE_P(Modals, ModalTest, ::testing::Values(Modal::Message, Modal::RowMenu),
                         [](const auto& info) {
                             return info.param == Modal::Message ? "Message" : "RowMenu";
                         });

} // namespace
} // namespace torvash
