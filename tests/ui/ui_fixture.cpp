#include "ui_fixture.hpp"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include "jvlink/feed_link.hpp"
#include "mainwindow/MainWindow.hpp"
#include "support/sample_store.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven::testing {

const fs::path& sampleBase() {
    static TempDir dir;
    static bool made = false;
    if (!made) {
        import_sample_feed(dir.path(), SampleFeedOptions{33, 4, 20261206}, kSampleNow);
        made = true;
    }
    return dir.path();
}

void copySampleBase(const fs::path& to) {
    fs::copy(sampleBase(), to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::unique_ptr<MainWindow> openMainWindow(const fs::path& base, const DateTime& now) {
    auto form = std::make_unique<MainWindow>(
        base, std::make_unique<FeedLink>(base / "feed", base / "JVCache"));
    form->setClock([now] { return now; });
    form->rebuildCatalogue();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        QTest::qFail("main window not exposed", __FILE__, __LINE__);
    // The window a person starts with is the active one.
    activate(form.get());
    return form;
}

namespace {

QString describe(QWidget* widget) {
    if (widget == nullptr) return QStringLiteral("(null)");
    QString name = widget->objectName();
    if (name.isEmpty()) name = widget->accessibleName();
    return QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') + name;
}

bool showing(QWidget* widget, QString& why) {
    if (widget == nullptr) {
        why = QStringLiteral("no widget");
        return false;
    }
    if (!widget->isVisible()) {
        why = describe(widget) + QStringLiteral(" is not visible");
        return false;
    }
    if (widget->width() <= 0 || widget->height() <= 0) {
        why = describe(widget) +
              QStringLiteral(" has no size (%1 x %2)").arg(widget->width()).arg(widget->height());
        return false;
    }
    QWidget* window = widget->window();
    QRect inWindow(widget->mapTo(window, QPoint(0, 0)), widget->size());
    if (!window->rect().intersects(inWindow)) {
        why = describe(widget) + QStringLiteral(" lies outside its window");
        return false;
    }
    return true;
}

}  // namespace

void requireShowing(QWidget* widget) {
    QString why;
    QVERIFY2(showing(widget, why), qPrintable(why));
}

namespace {

// Where a person clicks a control: a check box or a radio button on its
// indicator (its label may be much narrower than the control is laid out),
// anything else in the middle.
QPoint clickPoint(QWidget* widget) {
    int indicator = 0;
    if (qobject_cast<QRadioButton*>(widget) != nullptr) {
        indicator =
            widget->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, widget);
    } else if (qobject_cast<QCheckBox*>(widget) != nullptr) {
        indicator = widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
    }
    if (indicator > 0) return QPoint(indicator / 2 + 1, widget->height() / 2);
    return widget->rect().center();
}

}  // namespace

void clickWidget(QWidget* widget) {
    TOLVEN_REQUIRE(requireShowing(widget));
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, clickPoint(widget));
}

void clickTab(QTabBar* tabs, int index) {
    TOLVEN_REQUIRE(requireShowing(tabs));
    QVERIFY2(index >= 0 && index < tabs->count(), "no such tab");
    QRect rect = tabs->tabRect(index);
    QVERIFY2(rect.height() > 0 && rect.width() > 0, "the tab has no size");
    QVERIFY2(tabs->rect().contains(rect.center()), "the tab is not inside its tab strip");
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, rect.center());
}

void clickCell(QTableWidget* grid, int row, int column) {
    TOLVEN_REQUIRE(requireShowing(grid));
    QTableWidgetItem* item = grid->item(row, column);
    QVERIFY2(item != nullptr, "no such cell");
    grid->scrollToItem(item);
    QRect rect = grid->visualItemRect(item);
    QVERIFY2(rect.width() > 0 && rect.height() > 0, "the cell has no size");
    QVERIFY2(grid->viewport()->rect().contains(rect.center()), "the cell is not in view");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

void clickListRow(QListWidget* list, int row) {
    TOLVEN_REQUIRE(requireShowing(list));
    QListWidgetItem* item = list->item(row);
    QVERIFY2(item != nullptr, "no such list entry");
    list->scrollToItem(item);
    QRect rect = list->visualItemRect(item);
    QVERIFY2(list->viewport()->rect().contains(rect.center()), "the entry is not in view");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

void clickOnScreen(QWidget* widget) {
    TOLVEN_REQUIRE(requireShowing(widget));
    clickOnScreen(widget, clickPoint(widget));
}

void clickOnScreen(QWidget* widget, QPoint at) {
    TOLVEN_REQUIRE(requireShowing(widget));
    QWidget* top = widget->window();
    QWindow* handle = top->windowHandle();
    QVERIFY2(handle != nullptr, "the window has no window-system window");
    QTest::mouseClick(handle, Qt::LeftButton, Qt::NoModifier, widget->mapTo(top, at));
}

int rowOf(QListWidget* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text) return i;
    }
    return -1;
}

void showYesterday(MainWindow& form) {
    clickWidget(form.findChild<QToolButton*>(QStringLiteral("Basho0")));
    clickWidget(form.findChild<QRadioButton*>(QStringLiteral("Hiduke1")));
}

void clickDay(MainWindow& form, const QString& day) {
    int row = rowOf(form.dayList(), day);
    QVERIFY2(row >= 0, qPrintable(day + QStringLiteral(" is not listed")));
    clickListRow(form.dayList(), row);
    QVERIFY2(form.bannerText().startsWith(day.left(11)),
             qPrintable(
                 QStringLiteral("banner \"%1\" after a click on %2").arg(form.bannerText(), day)));
}

QMdiSubWindow* frameOf(QWidget* content) {
    for (QWidget* w = content->parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) return frame;
    }
    return nullptr;
}

QRect titleBarPart(QMdiSubWindow* view, QStyle::SubControl part) {
    // The title bar as the sub-window lays it out.
    QStyleOptionTitleBar bar;
    bar.initFrom(view);
    bar.subControls = QStyle::SC_All;
    bar.titleBarFlags = view->windowFlags();
    bar.titleBarState = view->windowState();
    bar.text = view->windowTitle();
    bar.icon = view->windowIcon();
    QStyle* style = view->style();
    int border = style->styleHint(QStyle::SH_TitleBar_NoBorder, &bar, view) ? 0 : 4;
    bar.rect = QRect(border, border, view->width() - 2 * border,
                     style->pixelMetric(QStyle::PM_TitleBarHeight, &bar, view));
    return style->subControlRect(QStyle::CC_TitleBar, &bar, part, view);
}

void clickCloseButton(QMdiSubWindow* view) {
    QVERIFY2(view != nullptr, "no sub-window");
    TOLVEN_REQUIRE(requireShowing(view));
    auto* main = qobject_cast<QMainWindow*>(view->window());
    if (view->isMaximized() && main != nullptr && main->menuBar()->isVisible()) {
        // A maximised view's buttons sit at the right end of the menu bar.
        QWidget* controls = main->menuBar()->cornerWidget(Qt::TopRightCorner);
        QVERIFY2(controls != nullptr, "no window buttons in the menu bar");
        QStyleOptionComplex option;
        option.initFrom(controls);
        option.subControls = QStyle::SC_MdiMinButton | QStyle::SC_MdiNormalButton |
                             QStyle::SC_MdiCloseButton;
        QRect close = controls->style()->subControlRect(QStyle::CC_MdiControls, &option,
                                                        QStyle::SC_MdiCloseButton, controls);
        QVERIFY2(close.isValid() && controls->rect().contains(close), "no close button in the menu bar");
        clickOnScreen(controls, close.center());
        return;
    }
    QRect close = titleBarPart(view, QStyle::SC_TitleBarCloseButton);
    QVERIFY2(close.isValid() && view->rect().contains(close),
             qPrintable(QStringLiteral("no title-bar close button on ") + view->windowTitle()));
    clickOnScreen(view, close.center());
}

void chooseMenu(QMainWindow* window, const QString& menu, const QString& entry) {
    QMenuBar* bar = window->menuBar();
    TOLVEN_REQUIRE(requireShowing(bar));
    QMenu* opened = nullptr;
    for (QAction* a : bar->actions()) {
        if (a->text() == menu) {
            QRect place = bar->actionGeometry(a);
            QVERIFY2(place.width() > 0 && place.height() > 0, "the menu title has no size");
            QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, place.center());
            opened = a->menu();
        }
    }
    QVERIFY2(opened != nullptr, qPrintable(QStringLiteral("no menu ") + menu));
    QVERIFY2(QTest::qWaitFor([opened] { return opened->isVisible(); }, 2000),
             qPrintable(QStringLiteral("the menu did not open: ") + menu));
    for (QAction* a : opened->actions()) {
        if (a->text() == entry) {
            QVERIFY2(a->isEnabled(), qPrintable(QStringLiteral("disabled entry ") + entry));
            QRect place = opened->actionGeometry(a);
            QTest::mouseClick(opened, Qt::LeftButton, Qt::NoModifier, place.center());
            return;
        }
    }
    opened->close();
    QFAIL(qPrintable(QStringLiteral("no entry ") + entry + QStringLiteral(" in ") + menu));
}

void clickToolButton(QMainWindow* window, const QString& actionName) {
    QAction* action = window->findChild<QAction*>(actionName);
    QVERIFY2(action != nullptr, qPrintable(QStringLiteral("no action ") + actionName));
    QWidget* button = nullptr;
    for (QToolBar* bar : window->findChildren<QToolBar*>()) {
        if (QWidget* w = bar->widgetForAction(action)) button = w;
    }
    QVERIFY2(button != nullptr, qPrintable(QStringLiteral("no toolbar button ") + actionName));
    clickWidget(button);
}

void whenModalShows(const std::function<void(QWidget* modal)>& act) {
    QWidget* before = QApplication::activeModalWidget();
    // The wait belongs to the test that asked for it: when that test ends
    // without the window (it failed), nothing is run later.
    const QString test = QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('/') +
                         QString::fromLatin1(QTest::currentDataTag());
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, before, act, test] {
        QString now = QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('/') +
                      QString::fromLatin1(QTest::currentDataTag());
        if (now != test) {
            poll->stop();
            poll->deleteLater();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == before || !modal->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        QPointer<QWidget> window(modal);
        act(modal);
        // A check that failed in `act` left the window open: close it, or
        // the test would wait for it forever.
        if (QTest::currentTestFailed() && window && window->isVisible()) {
            if (auto* dialog = qobject_cast<QDialog*>(window.data())) {
                dialog->QDialog::done(QDialog::Rejected);
            } else {
                window->close();
            }
        }
    });
    poll->start();
}

void activate(QWidget* window) {
    window = window->window();
    // The platform may still be settling an earlier activation (a window
    // shown and hidden during a day load); ask until the window stays active.
    QVERIFY2(QTest::qWaitFor([window] {
                 if (QApplication::activeWindow() == window) return true;
                 window->activateWindow();
                 return false;
             }),
             qPrintable(describe(window) + " is not active"));
}

void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    TOLVEN_REQUIRE(requireShowing(widget));
    TOLVEN_REQUIRE(activate(widget));
    widget->setFocus(Qt::OtherFocusReason);
    QVERIFY2(widget->hasFocus(), "the widget does not take the keyboard focus");
    QTest::keyClick(widget, key, modifiers);
}

QAccessibleInterface* accessibleOf(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

bool doAccessibleAction(QAccessibleInterface* node, const QString& action) {
    if (node == nullptr) return false;
    QAccessibleActionInterface* actions = node->actionInterface();
    if (actions == nullptr || !actions->actionNames().contains(action)) return false;
    actions->doAction(action);
    return true;
}

void requireCellsFit(QTableWidget* grid) {
    TOLVEN_REQUIRE(requireShowing(grid));
    // Item views draw a cell's text inside the focus-frame margin plus one
    // pixel on each side; a shown grid line takes the column's last pixel.
    int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
    int line = grid->showGrid() ? 1 : 0;
    for (int r = 0; r < grid->rowCount(); ++r) {
        for (int c = 0; c < grid->columnCount(); ++c) {
            QTableWidgetItem* item = grid->item(r, c);
            if (item == nullptr || item->text().isEmpty() || grid->isColumnHidden(c)) continue;
            QFont font = item->data(Qt::FontRole).isValid() ? item->font() : grid->font();
            int needed = QFontMetrics(font).horizontalAdvance(item->text()) + margin + line;
            QVERIFY2(needed <= grid->columnWidth(c),
                     qPrintable(QStringLiteral("%1: cell (%2, %3) \"%4\" needs %5 px, column is %6")
                                    .arg(describe(grid))
                                    .arg(r)
                                    .arg(c)
                                    .arg(item->text())
                                    .arg(needed)
                                    .arg(grid->columnWidth(c))));
        }
    }
    QHeaderView* header = grid->horizontalHeader();
    if (!header->isVisible()) return;
    // A header title is drawn inside the header margin on each side.
    int headerMargin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int c = 0; c < grid->columnCount(); ++c) {
        QTableWidgetItem* title = grid->horizontalHeaderItem(c);
        if (title == nullptr || title->text().isEmpty()) continue;
        int needed = QFontMetrics(header->font()).horizontalAdvance(title->text()) + headerMargin;
        QVERIFY2(needed <= header->sectionSize(c),
                 qPrintable(QStringLiteral("%1: title %2 \"%3\" needs %4 px, column is %5")
                                .arg(describe(grid))
                                .arg(c)
                                .arg(title->text())
                                .arg(needed)
                                .arg(header->sectionSize(c))));
    }
}

void requireAllCellsSeen(QTableWidget* grid) {
    TOLVEN_REQUIRE(requireShowing(grid));
    QRect view = grid->viewport()->rect();
    for (int r = 0; r < grid->rowCount(); ++r) {
        for (int c = 0; c < grid->columnCount(); ++c) {
            if (grid->isColumnHidden(c) || grid->columnWidth(c) == 0) continue;
            QRect cell(grid->columnViewportPosition(c), grid->rowViewportPosition(r),
                       grid->columnWidth(c), grid->rowHeight(r));
            QVERIFY2(view.contains(cell),
                     qPrintable(QStringLiteral("%1: cell (%2, %3) at (%4, %5) %6 x %7 is not in "
                                               "the %8 x %9 view")
                                    .arg(describe(grid))
                                    .arg(r)
                                    .arg(c)
                                    .arg(cell.x())
                                    .arg(cell.y())
                                    .arg(cell.width())
                                    .arg(cell.height())
                                    .arg(view.width())
                                    .arg(view.height())));
        }
    }
}

void requireItemsFit(QListWidget* list) {
    TOLVEN_REQUIRE(requireShowing(list));
    int margin = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        int needed = QFontMetrics(list->font()).horizontalAdvance(item->text()) + margin;
        QVERIFY2(needed <= list->viewport()->width(),
                 qPrintable(QStringLiteral("%1: entry %2 \"%3\" needs %4 px, has %5")
                                .arg(describe(list))
                                .arg(i)
                                .arg(item->text())
                                .arg(needed)
                                .arg(list->viewport()->width())));
    }
}

void requireTextFits(QLabel* label) {
    TOLVEN_REQUIRE(requireShowing(label));
    int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
    QVERIFY2(needed <= label->contentsRect().width(),
             qPrintable(QStringLiteral("%1: \"%2\" needs %3 px, has %4")
                            .arg(describe(label), label->text())
                            .arg(needed)
                            .arg(label->contentsRect().width())));
}

void requireOnScreen(QWidget* window) {
    QRect screen(QPoint(0, 0), kTestScreen);
    QRect frame = window->frameGeometry();
    QVERIFY2(screen.contains(frame),
             qPrintable(QStringLiteral("%1 at (%2, %3) %4 x %5 is not inside the %6 x %7 screen")
                            .arg(describe(window))
                            .arg(frame.x())
                            .arg(frame.y())
                            .arg(frame.width())
                            .arg(frame.height())
                            .arg(kTestScreen.width())
                            .arg(kTestScreen.height())));
}

FileSizeLimit::FileSizeLimit(long bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    soft_ = limit.rlim_cur;
    handler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(soft_);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, handler_);
}

namespace {

AccessibleEvents* recording = nullptr;

// The platform's accessibility, as a screen reader switches it on; the
// offscreen platform has one too.
QPlatformAccessibility& platformAccessibility() {
    QPlatformAccessibility* accessibility = QGuiApplicationPrivate::platformIntegration()->accessibility();
    if (accessibility == nullptr) qFatal("the platform of the window tests has no accessibility");
    return *accessibility;
}

}  // namespace

AccessibleEvents::AccessibleEvents() {
    recording = this;
    QAccessible::installUpdateHandler(&AccessibleEvents::record);
    platformAccessibility().setActive(true);
}

AccessibleEvents::~AccessibleEvents() {
    platformAccessibility().setActive(false);
    QAccessible::installUpdateHandler(nullptr);
    recording = nullptr;
}

void AccessibleEvents::record(QAccessibleEvent* event) {
    if (recording == nullptr) return;
    QAccessibleInterface* about = event->accessibleInterface();
    recording->events_.emplace_back(event->type(),
                                    about != nullptr ? about->text(QAccessible::Name) : QString());
}

bool AccessibleEvents::received(int type, const QString& name) const {
    return std::find(events_.begin(), events_.end(), std::make_pair(type, name)) != events_.end();
}

QString AccessibleEvents::list() const {
    QStringList lines;
    for (const auto& [type, name] : events_) lines << QString::number(type) + QLatin1Char(' ') + name;
    return lines.join(QLatin1Char('\n'));
}

OpenedFiles::OpenedFiles() {
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

OpenedFiles::~OpenedFiles() {
    release();
}

void OpenedFiles::release() {
    if (installed_) QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    installed_ = false;
}

void OpenedFiles::open(const QUrl& url) {
    files_ << url.toLocalFile();
}

}  // namespace tolven::testing
