// SPDX-License-Identifier: MIT
#pragma once

#include "search/Controls.h"
#include "search/PageAddressList.h"

#include <QUrl>
#include <QWidget>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace torvash {

class ResultTableModel;
class WindowControls;

/** Hands a web address to the user's browser; true when it could. Tests pass one that records. */
using AddressOpener = std::function<bool(const QUrl&)>;

/**
 * What may be handed to the browser for an address that a page or the program gives: web addresses
 * only (http or https in any letter case; "//host/..." taken as http; a bare host such as
 * "example.com/path" gets "http://"), and nothing at all otherwise, so that no text from a page can
 * make the system run or open anything else.
 */
std::optional<QUrl> WebAddressOf(TextView address);

/**
 * The program's window: the keyword and seller fields with their captions, the search button, the
 * hyperlink, and the result list, which follows the window's size. Its controls are the ones the run
 * and the row menu use through `controls()`, from any thread.
 */
class MainWindow final : public QWidget
{
    Q_OBJECT

public:
    /** The client area as created; the frame around it is the window manager's. */
    static constexpr QSize kClientSize{586, 361};
    static constexpr QSize kOuterSize{594, 393};
    static constexpr int kListTop = 32;

    MainWindow(PageAddressList& addresses, AddressOpener opener, QWidget* parent = nullptr);
    ~MainWindow() override;

    /** The controls for the run and the row menu; safe from any thread, and inert once the window
     *  has begun to close. */
    Controls& controls();

    /** Called on the button's click. */
    void setSearchStarter(std::function<void()> start) { m_startSearch = std::move(start); }
    /** Called while the window closes, after the controls have gone inert: stops a run in progress. */
    void setClosingStep(std::function<void()> step) { m_closing = std::move(step); }

    /** Fits the result list to the client area: left 1, top 32, width w - 2, height h - 33, each at
     *  least 0 (so 0 x 0 while minimised) and at most 32627. */
    void FitResultList();
    /** The row menu, offered for the selected row when its page cell is filled. */
    void ShowRowMenu();
    void OpenSearchPage();
    void OpenItemPage();
    void OpenAddress(TextView address);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class WindowControls;

    void buildControls();
    void followHyperlink();
    void startMovingWindow();

    PageAddressList& m_addresses;
    AddressOpener m_opener;
    std::function<void()> m_startSearch;
    std::function<void()> m_closing;

    QLabel* m_keywordCaption = nullptr;
    QLineEdit* m_keyword = nullptr;
    QLabel* m_sellerCaption = nullptr;
    QLineEdit* m_seller = nullptr;
    QPushButton* m_search = nullptr;
    QLabel* m_hyperlink = nullptr;
    QTreeView* m_list = nullptr;
    ResultTableModel* m_rows = nullptr;
    std::unique_ptr<WindowControls> m_controls;
};

} // namespace torvash
