#pragma once

// What every window test shares: the sample store, the main window opened on
// it, and the ways a person acts on a window (mouse clicks where a control is
// seen, keys, accessible actions) and checks what is seen (a control showing
// with a size, texts that fit, windows inside the screen).

#include <QObject>
#include <QRect>
#include <QSize>
#include <QStyle>
#include <QString>
#include <QStringList>
#include <QTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "store/date_time.hpp"

class QAccessibleEvent;
class QAccessibleInterface;
class QLabel;
class QListWidget;
class QMainWindow;
class QMdiSubWindow;
class QTabBar;
class QTableWidget;
class QWidget;
class MainWindow;

namespace tolven::testing {

// The screen the window tests run on (the offscreen platform is configured to
// it in ui_test_main.cpp).
inline constexpr QSize kTestScreen{1280, 1024};

// The local time of the sample store: the sample feed's "today" is
// 2026-12-06, a Sunday, so Saturday's meetings are "yesterday".
inline const DateTime kSampleNow{2026, 12, 6, 10, 0, 0};

// A base folder holding the whole imported sample feed (seed 33, 4 weeks),
// made once per test program. Tests that write into it (ticks, hit export)
// must not rely on another test's writes.
const std::filesystem::path& sampleBase();

// A copy of the sample store in `to` (for tests that break files on purpose).
void copySampleBase(const std::filesystem::path& to);

// The sample days of 2026-12-05 ("yesterday") in the list's order.
inline const QString kNakayama = QStringLiteral("2026年12月05日中山");
inline const QString kChukyo = QStringLiteral("2026年12月05日中京");
inline const QString kHanshin = QStringLiteral("2026年12月05日阪神");

// The row of a list entry; -1 when it is not listed.
int rowOf(QListWidget* list, const QString& text);
// Shows the days of 2026-12-05 by clicking 前日のレース and 全場.
void showYesterday(MainWindow& form);
// Clicks a day of the list and checks that it was loaded.
void clickDay(MainWindow& form, const QString& day);

// The main window on a base as the program opens it: fixed clock, shown and
// exposed.
std::unique_ptr<MainWindow> openMainWindow(const std::filesystem::path& base,
                                          const DateTime& now = kSampleNow);

// Acting as a person. Each fails the test (and does nothing) when the control
// cannot be seen: hidden, no size, or outside its window.
void clickWidget(QWidget* widget);
void clickTab(QTabBar* tabs, int index);
void clickCell(QTableWidget* grid, int row, int column);
void clickListRow(QListWidget* list, int row);
// A click that goes through the window system, as a real pointer's does: it
// lands on whatever is on top at that place of the window, and a modal window
// that blocks this one swallows it.
void clickOnScreen(QWidget* widget);
void clickOnScreen(QWidget* widget, QPoint at);
// The sub-window a view of the main window's area is shown in; nullptr when
// it has none.
QMdiSubWindow* frameOf(QWidget* content);
// Where a part of a sub-window's title bar (its icon, its ×) is drawn.
QRect titleBarPart(QMdiSubWindow* view, QStyle::SubControl part);
// Clicks the title-bar × of a sub-window where it is drawn, through the
// window system (whatever lies over it, a scroll bar say, takes the click).
void clickCloseButton(QMdiSubWindow* view);
// Opens a menu of the window's menu bar with the mouse and clicks an entry.
void chooseMenu(QMainWindow* window, const QString& menu, const QString& entry);
// Clicks the toolbar button of an action.
void clickToolButton(QMainWindow* window, const QString& actionName);
// Runs `act` on the next modal window once it shows (the caller then opens
// it); `act` must close it.
void whenModalShows(const std::function<void(QWidget* modal)>& act);
// Makes the widget's window the active one (a person clicks its title).
void activate(QWidget* window);
// Gives the widget the keyboard focus and presses the key there.
void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// The accessibility interface of a widget, and one of its actions run as a
// screen reader runs it ("Press", "Toggle", "SetFocus", ...); false when the
// interface has no such action.
QAccessibleInterface* accessibleOf(QWidget* widget);
bool doAccessibleAction(QAccessibleInterface* node, const QString& action);

// What a person sees.
void requireShowing(QWidget* widget);
// Every cell text of the grid fits its column (nothing would be elided),
// and so does every title of its column header when it is shown.
void requireCellsFit(QTableWidget* grid);
// Every cell of the grid lies inside its viewport: nothing has to be
// scrolled into view.
void requireAllCellsSeen(QTableWidget* grid);
// Every entry of the list fits its width.
void requireItemsFit(QListWidget* list);
void requireTextFits(QLabel* label);
// The window lies inside the test screen.
void requireOnScreen(QWidget* window);

// While it lives, no file of this process may grow beyond `bytes`, and going
// beyond it is a write error (EFBIG) instead of a signal: a write failure
// that even a user who may write everywhere meets.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    unsigned long long soft_;
    void (*handler_)(int);
};

// While it lives, accessibility is on (as with a screen reader attached) and
// the events the program sends to a screen reader are kept here: the event
// and the name of the element it is about.
class AccessibleEvents {
  public:
    AccessibleEvents();
    ~AccessibleEvents();
    AccessibleEvents(const AccessibleEvents&) = delete;
    AccessibleEvents& operator=(const AccessibleEvents&) = delete;

    // Whether an event of this kind about an element of this name came.
    bool received(int type, const QString& name) const;
    void clear() { events_.clear(); }
    // What came, one "type name" a line, for a failure's message.
    QString list() const;

  private:
    static void record(QAccessibleEvent* event);
    std::vector<std::pair<int, QString>> events_;
};

// While it lives, the files the program asks the desktop to open are
// collected here instead, so that no editor or file manager starts.
class OpenedFiles : public QObject {
    Q_OBJECT

  public:
    OpenedFiles();
    ~OpenedFiles() override;
    OpenedFiles(const OpenedFiles&) = delete;
    OpenedFiles& operator=(const OpenedFiles&) = delete;

    // The desktop's own opener again, as where none is installed.
    void release();
    const QStringList& files() const { return files_; }

  public slots:
    void open(const QUrl& url);

  private:
    QStringList files_;
    bool installed_ = true;
};

}  // namespace tolven::testing

// Runs a fixture check and leaves the test function when it failed.
#define TOLVEN_REQUIRE(call)                    \
    do {                                        \
        call;                                   \
        if (QTest::currentTestFailed()) return; \
    } while (false)
