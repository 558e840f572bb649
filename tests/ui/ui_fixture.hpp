#pragma once

// What every window test shares: the sample store, the main window opened on
// it, and the ways a person acts on a window (mouse clicks where a control is
// seen, keys, accessible actions) and checks what is seen (a control showing
// with a size, texts that fit, windows inside the screen).

#include <QSize>
#include <QString>
#include <QTest>

#include <filesystem>
#include <memory>

#include "store/date_time.hpp"

class QAccessibleInterface;
class QLabel;
class QListWidget;
class QTabBar;
class QTableWidget;
class QWidget;
class TMainForm;

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

// The main window on a base as the program opens it: fixed clock, shown and
// exposed.
std::unique_ptr<TMainForm> openMainWindow(const std::filesystem::path& base,
                                          const DateTime& now = kSampleNow);

// Acting as a person. Each fails the test (and does nothing) when the control
// cannot be seen: hidden, no size, or outside its window.
void clickWidget(QWidget* widget);
void clickTab(QTabBar* tabs, int index);
void clickCell(QTableWidget* grid, int row, int column);
void clickListRow(QListWidget* list, int row);
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

}  // namespace tolven::testing

// Runs a fixture check and leaves the test function when it failed.
#define TOLVEN_REQUIRE(call)                    \
    do {                                        \
        call;                                   \
        if (QTest::currentTestFailed()) return; \
    } while (false)
