#include "ui_fixture.hpp"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTableWidget>

#include "jvlink/feed_link.hpp"
#include "raceday/TMainForm.hpp"
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

std::unique_ptr<TMainForm> openMainWindow(const fs::path& base, const DateTime& now) {
    auto form = std::make_unique<TMainForm>(
        base, std::make_unique<FeedLink>(base / "feed", base / "JVCache"));
    form->setClock([now] { return now; });
    form->rebuildCatalogue();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        QTest::qFail("main window not exposed", __FILE__, __LINE__);
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

void clickWidget(QWidget* widget) {
    TOLVEN_REQUIRE(requireShowing(widget));
    QPoint at = widget->rect().center();
    // A check box or radio button reacts only on its box and its text, which
    // may not reach the middle of a widget stretched by its layout.
    QStyleOptionButton option;
    option.initFrom(widget);
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        option.text = box->text();
        at =
            widget->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, widget).center();
    } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
        option.text = radio->text();
        at = widget->style()
                 ->subElementRect(QStyle::SE_RadioButtonClickRect, &option, widget)
                 .center();
    }
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
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

void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    TOLVEN_REQUIRE(requireShowing(widget));
    // Keys go to the active window's focus widget.
    widget->activateWindow();
    QVERIFY2(QTest::qWaitFor([widget] { return QApplication::activeWindow() == widget->window(); }),
             "the window does not become active");
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

}  // namespace tolven::testing
