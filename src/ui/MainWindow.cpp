// SPDX-License-Identifier: MIT
#include "ui/MainWindow.h"

#include "platform/GbkText.h"
#include "text/TextOperations.h"
#include "ui/ResultTableModel.h"
#include "ui/WindowControls.h"

#include <QApplication>
#include <QCursor>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTreeView>
#include <QWindow>

#include <algorithm>

namespace torvash {

namespace {

constexpr int kSizeCeiling = 32627; // the largest width, height or place the list is given
constexpr const char* kForumHost = "forum.morvale.example"; // the maker's forum, without a scheme

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

/** The program's own icon: a magnifier over a list of rows. */
QIcon drawnIcon()
{
    QPixmap picture(64, 64);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0xF4, 0xF1, 0xE8));
    painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 2));
    painter.drawRoundedRect(4, 6, 44, 52, 6, 6);
    painter.setPen(QPen(QColor(0x9A, 0x9A, 0x9A), 4, Qt::SolidLine, Qt::RoundCap));
    for (int y = 18; y <= 46; y += 10)
        painter.drawLine(12, y, 38, y);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0xD2, 0x3C, 0x1E), 6));
    painter.drawEllipse(QPoint(40, 36), 12, 12);
    painter.setPen(QPen(QColor(0xD2, 0x3C, 0x1E), 7, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(49, 45, 58, 56);
    return QIcon(picture);
}

/** A caption label: one line, left-aligned, centred vertically, black on the button face. */
QLabel* captionLabel(QWidget* parent, const char* name, const char* caption, QRect place)
{
    auto* label = new QLabel(text(caption), parent);
    label->setObjectName(text(name));
    label->setGeometry(place);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(false);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    return label;
}

QLineEdit* inputField(QWidget* parent, const char* name, QRect place)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(text(name));
    field->setGeometry(place);
    field->setAlignment(Qt::AlignCenter);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    // The selection is not shown while the field has no focus.
    palette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    field->setPalette(palette);
    return field;
}

/** The hyperlink: black, red under the pointer, black again once followed; a pointing hand. */
class Hyperlink final : public QLabel
{
public:
    Hyperlink(const QString& caption, QWidget* parent, std::function<void()> follow)
        : QLabel(caption, parent)
        , m_follow(std::move(follow))
    {
        setAlignment(Qt::AlignCenter);
        setCursor(Qt::PointingHandCursor);
        setAutoFillBackground(true);
        setFocusPolicy(Qt::NoFocus);
        setColor(Qt::black);
    }

protected:
    void enterEvent(QEnterEvent* event) override
    {
        setColor(Qt::red);
        QLabel::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override
    {
        setColor(Qt::black); // the followed colour is black too
        QLabel::leaveEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_follow();
    }

private:
    void setColor(const QColor& color)
    {
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, color);
        setPalette(palette);
    }

    std::function<void()> m_follow;
};

} // namespace

std::optional<QUrl> WebAddressOf(TextView address)
{
    QString candidate = decodeGbk(address).trimmed();
    if (candidate.isEmpty() || candidate.contains(QChar('\n')) || candidate.contains(QChar('\r')))
        return std::nullopt;
    if (candidate.startsWith(QStringLiteral("//")))
        candidate.prepend(QStringLiteral("http:"));
    else if (!candidate.contains(QStringLiteral("://")))
        candidate.prepend(QStringLiteral("http://"));
    const QUrl url(candidate, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QStringLiteral("http") && scheme != QStringLiteral("https")) ||
        url.host().isEmpty())
        return std::nullopt;
    return url;
}

MainWindow::MainWindow(PageAddressList& addresses, AddressOpener opener, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
    , m_addresses(addresses)
    , m_opener(std::move(opener))
    , m_controls(std::make_unique<WindowControls>(*this))
{
    setWindowTitle(QStringLiteral("Torvash"));
    setWindowIcon(drawnIcon());
    setBackgroundRole(QPalette::Button); // the button face
    setAutoFillBackground(true);
    buildControls();
    // A frame the user cannot drag to another size; minimise, maximise and restore still change it.
    setFixedSize(kClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->geometry();
        move((available.width() - kOuterSize.width()) / 2, (available.height() - kOuterSize.height()) / 2);
    }
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

MainWindow::~MainWindow()
{
    m_controls->detach();
}

Controls& MainWindow::controls()
{
    return *m_controls;
}

void MainWindow::buildControls()
{
    m_keywordCaption = captionLabel(this, "标签1", "关键词：", QRect(4, 5, 46, 24));
    m_keyword = inputField(this, "编辑框1", QRect(55, 1, 120, 30));
    m_sellerCaption = captionLabel(this, "标签2", "旺旺名：", QRect(187, 6, 44, 24));
    m_seller = inputField(this, "编辑框2", QRect(236, 1, 120, 30));

    m_search = new QPushButton(text("查找"), this);
    m_search->setObjectName(text("按钮1"));
    m_search->setGeometry(359, 1, 67, 29);
    m_search->setAutoDefault(false);
    m_search->setDefault(false);
    connect(m_search, &QPushButton::clicked, this, [this] {
        if (m_startSearch)
            m_startSearch();
    });

    m_hyperlink = new Hyperlink(QStringLiteral("Morvale"), this, [this] { followHyperlink(); });
    m_hyperlink->setObjectName(text("超级链接框1"));
    m_hyperlink->setGeometry(427, 5, 73, 24);

    m_rows = new ResultTableModel(this);
    m_list = new QTreeView(this);
    m_list->setObjectName(text("超级列表框1"));
    m_list->setModel(m_rows);
    m_list->setGeometry(0, kListTop, 584, 328);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSortingEnabled(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setSectionsClickable(true); // a press shows, and changes nothing
    m_list->header()->setSortIndicatorShown(false);
    m_list->header()->setStretchLastSection(false);
    m_list->setColumnWidth(kPageColumn, 50);
    m_list->setColumnWidth(kTitleColumn, 300);
    m_list->setColumnWidth(kLinkColumn, 220);
    QPalette listPalette = m_list->palette();
    listPalette.setColor(QPalette::Inactive, QPalette::Highlight, listPalette.color(QPalette::Base));
    listPalette.setColor(QPalette::Inactive, QPalette::HighlightedText, listPalette.color(QPalette::Text));
    m_list->setPalette(listPalette);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this] { ShowRowMenu(); });

    for (QLabel* label : {m_keywordCaption, m_sellerCaption}) {
        label->setFocusPolicy(Qt::NoFocus);
        label->installEventFilter(this);
    }
    setTabOrder(m_list, m_keyword);
    setTabOrder(m_keyword, m_seller);
    setTabOrder(m_seller, m_search);
}

void MainWindow::FitResultList()
{
    const auto clampSize = [](int value) { return std::clamp(value, 0, kSizeCeiling); };
    // A minimised window has no client area to speak of, though Qt keeps reporting its last size.
    const QSize client = isMinimized() ? QSize(0, 0) : size();
    const int width = clampSize(client.width() - 2);
    const int height = clampSize(client.height() - kListTop - 1);
    m_list->setGeometry(1, kListTop, width, height);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FitResultList();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FitResultList();
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // The fixed size gives way while the window is maximised, and comes back when it is restored.
    if (isMaximized()) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else if (!isMinimized()) {
        setFixedSize(kClientSize);
    }
    FitResultList();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_controls->detach();
    if (m_closing)
        m_closing();
    QWidget::closeEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        startMovingWindow();
    QWidget::mousePressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    const bool caption = watched == m_keywordCaption || watched == m_sellerCaption;
    if (caption && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        startMovingWindow();
        return true; // a press on a caption does nothing else
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::startMovingWindow()
{
    if (QWindow* window = windowHandle())
        window->startSystemMove();
}

void MainWindow::followHyperlink()
{
    OpenAddress(kForumHost);
}

void MainWindow::ShowRowMenu()
{
    Controls& controls = *m_controls;
    const int32_t row = controls.SelectedResultRow();
    if (CompareText(controls.ResultCellText(row, kPageColumn), "") == 0)
        return;
    // Built afresh each time, and gone when it closes.
    QMenu menu(text("菜单"), this);
    menu.setObjectName(text("菜单"));
    QAction* searchPage = menu.addAction(text("进入搜索页面"));
    QAction* itemPage = menu.addAction(text("进入宝贝页面"));
    const QAction* chosen = menu.exec(QCursor::pos() + QPoint(3, 3));
    if (chosen == searchPage)
        QMetaObject::invokeMethod(this, &MainWindow::OpenSearchPage, Qt::QueuedConnection);
    else if (chosen == itemPage)
        QMetaObject::invokeMethod(this, &MainWindow::OpenItemPage, Qt::QueuedConnection);
}

void MainWindow::OpenSearchPage()
{
    const int32_t row = m_controls->SelectedResultRow();
    // A row whose address the run has not recorded yet opens nothing.
    if (row < 0 || row >= m_addresses.count())
        return;
    OpenAddress(m_addresses.entryAt(row));
}

void MainWindow::OpenItemPage()
{
    const Text link = m_controls->ResultCellText(m_controls->SelectedResultRow(), kLinkColumn);
    if (!link.empty()) {
        OpenAddress(link);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, text("信息："), text("都说没找到了，哪有宝贝"), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("itemPageMessage"));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void MainWindow::OpenAddress(TextView address)
{
    if (const std::optional<QUrl> url = WebAddressOf(address); url && m_opener)
        m_opener(*url);
}

} // namespace torvash
