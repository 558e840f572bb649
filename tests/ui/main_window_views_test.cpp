// The views of the main window as a person handles them: closed with the
// title-bar × and brought back, tiled, minimised and restored; the keyboard
// in the day list and the grids; what a screen reader is told; the window's
// title, icons and place on the screen.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <functional>

#include "mainwindow/MainWindow.hpp"
#include "mainwindow/ViewManager.hpp"
#include "support/temp_dir.hpp"
#include "ui_fixture.hpp"
#include "ui_tests.hpp"
#include "views/CalculationTableView.hpp"
#include "views/PredictionView.hpp"
#include "views/RaceCardView.hpp"
#include "views/TimeGraphView.hpp"
#include "windows/BalanceWindow.hpp"
#include "windows/FundAllocationView.hpp"

namespace fs = std::filesystem;
using namespace tolven::testing;

using ViewOf = std::function<QWidget*(MainWindow&)>;
// A text of the view that a person reads; empty for a view that does not
// follow the day.
using SeenIn = std::function<QString(MainWindow&)>;
Q_DECLARE_METATYPE(ViewOf)
Q_DECLARE_METATYPE(SeenIn)

namespace {

QString headerOf(RaceView* view) {
    QString all;
    for (int i = 0; i < 4; ++i) all += view->headerLine(i);
    return all + QStringLiteral(" / %1 races").arg(view->tabs()->count());
}

// The views a toolbar button brings up, each with a text it shows.
void addViewRows() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<ViewOf>("view");
    QTest::addColumn<SeenIn>("seen");
    auto race = [](RaceView* (*of)(MainWindow&)) {
        return SeenIn([of](MainWindow& f) { return headerOf(of(f)); });
    };
    QTest::newRow("予想表") << QStringLiteral("PredictionButton")
                            << ViewOf([](MainWindow& f) -> QWidget* { return f.predictionView(); })
                            << race([](MainWindow& f) -> RaceView* { return f.predictionView(); });
    QTest::newRow("出馬表") << QStringLiteral("RaceCardButton")
                            << ViewOf([](MainWindow& f) -> QWidget* { return f.raceCardView(); })
                            << race([](MainWindow& f) -> RaceView* { return f.raceCardView(); });
    QTest::newRow("能力ｸﾞﾗﾌ") << QStringLiteral("GraphButton")
                              << ViewOf([](MainWindow& f) -> QWidget* { return f.timeGraphView(); })
                              << race([](MainWindow& f) -> RaceView* { return f.timeGraphView(); });
    QTest::newRow("計算表") << QStringLiteral("CalculationButton")
                            << ViewOf([](MainWindow& f) -> QWidget* { return f.calculationView(); })
                            << race([](MainWindow& f) -> RaceView* { return f.calculationView(); });
    QTest::newRow("資金配分") << QStringLiteral("AllocationButton")
                              << ViewOf([](MainWindow& f) -> QWidget* { return f.allocationView(); })
                              << SeenIn();
    QTest::newRow("実績表") << QStringLiteral("ResultsRecordButton")
                            << ViewOf([](MainWindow& f) -> QWidget* { return f.resultsText(); })
                            << SeenIn([](MainWindow& f) { return f.resultsText()->toPlainText().left(60); });
    QTest::newRow("収支分析") << QStringLiteral("BalanceButton")
                              << ViewOf([](MainWindow& f) -> QWidget* { return f.balanceWindow(); })
                              << SeenIn();
}

// A view brought up by its button fills the area, whole.
void requireFillingTheArea(MainWindow& form, QWidget* view) {
    TOLVEN_REQUIRE(requireShowing(view));
    QMdiSubWindow* frame = frameOf(view);
    QVERIFY2(frame->isMaximized() && !frame->isMinimized(), qPrintable(frame->windowTitle()));
    QSize area = form.mdiArea()->viewport()->size();
    QVERIFY2(qAbs(frame->width() - area.width()) <= 2 && qAbs(frame->height() - area.height()) <= 2,
             qPrintable(QStringLiteral("%1x%2 in %3x%4").arg(frame->width()).arg(frame->height())
                            .arg(area.width()).arg(area.height())));
    QCOMPARE(form.mdiArea()->activeSubWindow(), frame);
}

QList<QMdiSubWindow*> shownViews(MainWindow& form) {
    QList<QMdiSubWindow*> views;
    for (QMdiSubWindow* w : form.mdiArea()->subWindowList()) {
        if (w->isVisible()) views << w;
    }
    return views;
}

}  // namespace

class MainWindowViewsTest : public QObject {
    Q_OBJECT

  private slots:
    // A view closed with its title-bar × comes back with its content from
    // its button, and again after another day was loaded.
    void closedViewsComeBack_data() { addViewRows(); }
    void closedViewsComeBack() {
        QFETCH(QString, button);
        QFETCH(ViewOf, view);
        QFETCH(SeenIn, seen);
        auto form = openMainWindow(sampleBase());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        TOLVEN_REQUIRE(clickToolButton(form.get(), button));
        QWidget* shown = view(*form);
        TOLVEN_REQUIRE(requireFillingTheArea(*form, shown));
        QString before = seen ? seen(*form) : QString();

        TOLVEN_REQUIRE(clickCloseButton(frameOf(shown)));
        QVERIFY(!shown->isVisible());
        TOLVEN_REQUIRE(clickToolButton(form.get(), button));
        TOLVEN_REQUIRE(requireFillingTheArea(*form, shown));
        if (seen) QCOMPARE(seen(*form), before);

        // Closed again, another day loaded: it comes back showing that day.
        TOLVEN_REQUIRE(clickCloseButton(frameOf(shown)));
        QVERIFY(!shown->isVisible());
        TOLVEN_REQUIRE(clickDay(*form, kChukyo));
        QVERIFY(form->bannerText().contains(QStringLiteral("中京")));
        TOLVEN_REQUIRE(clickToolButton(form.get(), button));
        TOLVEN_REQUIRE(requireFillingTheArea(*form, shown));
        if (seen) {
            QVERIFY(!seen(*form).isEmpty());
            if (button == QLatin1String("ResultsRecordButton"))
                QVERIFY(seen(*form).contains(QStringLiteral("中京")));
        }
    }

    // ならべて表示 right after a day is chosen (only 予想表 showing) and with
    // 収支分析 open: every view of the day and the balance side by side,
    // none below the least tile, none over another or beyond the area's
    // visible part; the right column's × is reachable and closes its view.
    void tilingShowsEveryViewOfTheDay_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("first-start size") << QSize(1000, 800);
        QTest::newRow("maximised on 1280x1024") << QSize();
    }
    void tilingShowsEveryViewOfTheDay() {
        QFETCH(QSize, size);
        auto form = openMainWindow(sampleBase());
        form->move(0, 0);
        if (size.isValid()) {
            form->resize(size);
        } else {
            form->showMaximized();
            QTRY_VERIFY(form->isMaximized() && form->width() > 1200);
            size = form->size();
        }
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        TOLVEN_REQUIRE(clickToolButton(form.get(), QStringLiteral("BalanceButton")));
        TOLVEN_REQUIRE(chooseMenu(form.get(), QStringLiteral("ウィンドウ(&W)"),
                                  QStringLiteral("ならべて表示(&T)")));
        QTest::qWait(50);
        QCOMPARE(form->size(), size);
        TOLVEN_REQUIRE(requireOnScreen(form.get()));
        QList<QMdiSubWindow*> views = shownViews(*form);
        QCOMPARE(views.size(), 7);
        QRect seen = form->mdiArea()->viewport()->rect();
        QMdiSubWindow* topRight = nullptr;
        for (int i = 0; i < views.size(); ++i) {
            QMdiSubWindow* w = views[i];
            QString what = w->windowTitle() + QStringLiteral(" %1,%2 %3x%4 in %5x%6")
                                                  .arg(w->x()).arg(w->y()).arg(w->width())
                                                  .arg(w->height()).arg(seen.width())
                                                  .arg(seen.height());
            QVERIFY2(!w->isMaximized() && !w->isMinimized(), qPrintable(what));
            QVERIFY2(w->width() >= ViewManager::kLeastTile.width() &&
                         w->height() >= ViewManager::kLeastTile.height(),
                     qPrintable(what));
            // Nothing lies beside the area or under its scroll bar.
            QVERIFY2(w->x() >= 0 && w->geometry().right() <= seen.right(), qPrintable(what));
            for (int j = 0; j < i; ++j)
                QVERIFY2(!w->geometry().intersects(views[j]->geometry()), qPrintable(what));
            if (w->y() == 0 && (topRight == nullptr || w->x() > topRight->x())) topRight = w;
        }
        // The graphs keep a readable size; their tile scrolls.
        QVERIFY(form->timeGraphView()->width() >= 600 && form->timeGraphView()->height() >= 400);
        saveScreenshot(form.get(),
                       QStringLiteral("tiled-all-%1x%2.png").arg(form->frameGeometry().width()).arg(form->frameGeometry().height()));
        QVERIFY(topRight != nullptr && topRight->x() > 0);
        TOLVEN_REQUIRE(clickCloseButton(topRight));
        QVERIFY2(!topRight->isVisible(), qPrintable(topRight->windowTitle()));
    }

    // After すべてをｱｲｺﾝ化 one click on a view's button brings it back
    // filling the area.
    void anIconComesBackFillingTheArea() {
        auto form = openMainWindow(sampleBase());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        for (const char* name : {"RaceCardButton", "CalculationButton", "GraphButton"})
            TOLVEN_REQUIRE(clickToolButton(form.get(), QString::fromLatin1(name)));
        TOLVEN_REQUIRE(chooseMenu(form.get(), QStringLiteral("ウィンドウ(&W)"),
                                  QStringLiteral("すべてをｱｲｺﾝ化(&M)")));
        QVERIFY(frameOf(form->calculationView())->isMinimized());
        TOLVEN_REQUIRE(clickToolButton(form.get(), QStringLiteral("CalculationButton")));
        TOLVEN_REQUIRE(requireFillingTheArea(*form, form->calculationView()));
        TOLVEN_REQUIRE(requireShowing(form->calculationView()->tabs()));
    }

    // A day chosen with the mouse leaves the keyboard in the list: ↓ and
    // Home walk on, and a screen reader hears the chosen entry as selected
    // and focused.
    void theDayListKeepsTheKeyboard() {
        auto form = openMainWindow(sampleBase());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        QListWidget* list = form->dayList();
        QCOMPARE(form->focusWidget(), list);
        AccessibleEvents events;
        const struct {
            Qt::Key key;
            QString day;
        } steps[] = {{Qt::Key_Down, kChukyo}, {Qt::Key_Down, kHanshin}, {Qt::Key_Home, kNakayama}};
        for (const auto& step : steps) {
            events.clear();
            // The key goes wherever the window has its focus.
            QTest::keyClick(form->windowHandle(), step.key);
            // A screen reader is told, not only able to ask.
            QVERIFY2(events.received(QAccessible::Focus, step.day), qPrintable(events.list()));
            QVERIFY2(form->bannerText().contains(step.day.mid(11)), qPrintable(form->bannerText()));
            QCOMPARE(form->focusWidget(), list);
            QAccessibleInterface* table = accessibleOf(list);
            QVERIFY(table != nullptr && table->tableInterface() != nullptr);
            QList<QAccessibleInterface*> chosen = table->tableInterface()->selectedCells();
            QCOMPARE(chosen.size(), 1);
            QCOMPARE(chosen[0]->text(QAccessible::Name), step.day);
            QVERIFY(chosen[0]->state().selected);
            QVERIFY(chosen[0]->state().focused);
        }
    }

    // Tab takes the keyboard out of the prediction's grids.
    void tabLeavesThePredictionGrids_data() {
        QTest::addColumn<int>("page");
        QTest::newRow("コンピュータ予想表") << 0;
        QTest::newRow("ユーザー予想表") << 1;
    }
    void tabLeavesThePredictionGrids() {
        QFETCH(int, page);
        auto form = openMainWindow(sampleBase());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        PredictionView* view = form->predictionView();
        TOLVEN_REQUIRE(clickTab(view->pages()->tabBar(), page));
        QTableWidget* grid = page == 0 ? view->computerGrid() : view->userGrid();
        TOLVEN_REQUIRE(requireShowing(grid));
        grid->setCurrentCell(0, 2);
        TOLVEN_REQUIRE(pressKey(grid, Qt::Key_Tab));
        QVERIFY(QApplication::focusWidget() != nullptr);
        QVERIFY(QApplication::focusWidget() != grid);
    }

    // A tick changes the tick, 順位 and 総得点 on screen; a screen reader
    // reads what the screen shows.
    void theUserGridTellsTheScreenReader() {
        TempDir dir;
        copySampleBase(dir.path());
        auto form = openMainWindow(dir.path());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        PredictionView* view = form->predictionView();
        TOLVEN_REQUIRE(clickTab(view->pages()->tabBar(), 1));
        QTableWidget* grid = view->userGrid();
        TOLVEN_REQUIRE(requireShowing(grid));
        int rank = -1, total = -1;
        for (int c = 0; c < grid->columnCount(); ++c) {
            QString title = grid->horizontalHeaderItem(c)->text();
            if (title == QStringLiteral("順位")) rank = c;
            if (title == QStringLiteral("総得点")) total = c;
        }
        QVERIFY(rank >= 0 && total >= 0);
        QString totalBefore = grid->item(0, total)->text();

        TOLVEN_REQUIRE(clickCell(grid, 0, 3));

        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("●"));
        QVERIFY(grid->item(0, total)->text() != totalBefore);
        QAccessibleTableInterface* table = accessibleOf(grid)->tableInterface();
        QVERIFY(table->cellAt(0, 3)->state().checked);
        for (int r = 0; r < grid->rowCount(); ++r) {
            for (int c : {rank, total})
                QCOMPARE(table->cellAt(r, c)->text(QAccessible::Name), grid->item(r, c)->text());
        }
    }

    // A maximised view's title joins the program's once; every view shows the
    // program's icon, not the toolkit's.
    void titlesAndIcons() {
        auto form = openMainWindow(sampleBase());
        TOLVEN_REQUIRE(showYesterday(*form));
        TOLVEN_REQUIRE(clickDay(*form, kNakayama));
        TOLVEN_REQUIRE(clickToolButton(form.get(), QStringLiteral("ResultsRecordButton")));
        QCOMPARE(form->windowTitle(), QStringLiteral("TOLVEN - [実績表]"));
        QVERIFY(!form->windowIcon().isNull());
        for (QMdiSubWindow* w : form->mdiArea()->subWindowList())
            QCOMPARE(w->windowIcon().cacheKey(), form->windowIcon().cacheKey());
        // What the title bar draws: the black icon with the green letter.
        TOLVEN_REQUIRE(chooseMenu(form.get(), QStringLiteral("ウィンドウ(&W)"),
                                  QStringLiteral("ならべて表示(&T)")));
        QMdiSubWindow* first = shownViews(*form).first();
        QRect icon = titleBarPart(first, QStyle::SC_TitleBarSysMenu);
        QImage drawn = first->grab(icon).toImage();
        int black = 0, green = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                QColor c = drawn.pixelColor(x, y);
                if (c.lightness() < 30) ++black;
                if (c.green() > 180 && c.red() < 100 && c.blue() < 100) ++green;
            }
        }
        QVERIFY2(black > drawn.width() * drawn.height() / 3 && green > 0,
                 qPrintable(QStringLiteral("%1 black, %2 green").arg(black).arg(green)));
    }

    // The window reopens with its frame on the screen, whatever size it was
    // left at; a maximised one keeps its normal place and size.
    void reopensOnTheScreen_data() {
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<bool>("kept");
        QTest::newRow("first-start size") << QRect(10, 10, 1000, 800) << true;
        QTest::newRow("the whole screen") << QRect(0, 0, 1280, 1024) << false;
        QTest::newRow("beyond the bottom") << QRect(-8, -8, 1296, 1100) << false;
        QTest::newRow("off to the right") << QRect(2000, 10, 1000, 800) << false;
    }
    void reopensOnTheScreen() {
        QFETCH(QRect, saved);
        QFETCH(bool, kept);
        TempDir dir;
        write_bytes(dir.path() / "tolven.ini",
                            QStringLiteral("[locate]\r\ntop=%1\r\nleft=%2\r\nwidth=%3\r\nheight=%4\r\n")
                                .arg(saved.y()).arg(saved.x()).arg(saved.width()).arg(saved.height())
                                .toStdString());
        auto form = openMainWindow(dir.path());
        QRect screen = form->screen()->availableGeometry();
        QVERIFY2(screen.contains(form->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(form->frameGeometry().x())
                                .arg(form->frameGeometry().y()).arg(form->frameGeometry().width())
                                .arg(form->frameGeometry().height())));
        if (kept) QCOMPARE(QRect(form->pos(), form->size()), saved);
        form->showMaximized();
        QTRY_VERIFY(form->isMaximized());
        QRect normal = form->normalGeometry();
        form->close();
        std::string ini = read_bytes(dir.path() / "tolven.ini");
        for (const QString& key : {QStringLiteral("width=%1").arg(normal.width()),
                                   QStringLiteral("height=%1").arg(normal.height())})
            QVERIFY2(ini.find(key.toStdString()) != std::string::npos, qPrintable(key));
    }
};

static RegisterUiTest<MainWindowViewsTest> registered;

#include "main_window_views_test.moc"
