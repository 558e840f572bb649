#include "mainwindow/ActionTable.hpp"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <map>

#include "mainwindow/MainWindow.hpp"

namespace {

// Where an action goes: the toolbar, or a menu of the menu bar.
enum class Place { ToolBar, File, View, Window, Help };

struct MenuRow {
    Place place;
    const char* title;
    const char* name;  // object name; empty: none
};

// The menus, left to right.
constexpr MenuRow kMenus[] = {
    {Place::File, "ファイル(&F)", ""},
    {Place::View, "表示(&V)", ""},
    {Place::Window, "ウィンドウ(&W)", "WindowMenu"},
    {Place::Help, "ヘルプ(&H)", ""},
};

enum ActionFlag : unsigned {
    kSeparatorBefore = 1,
    kCheckable = 2,
    kOffUntilADay = 4,  // off until a day is loaded
};

struct ActionRow {
    Place place;
    const char* name;  // object name (tests and the window menu find actions by it)
    const char* caption;
    const char* hint;      // status tip; on the toolbar also the tool tip
    const char* shortcut;  // a QKeySequence text; empty: none (the menus use mnemonics)
    void (MainWindow::*slot)();
    unsigned flags;
};

// Hints that a toolbar button and its menu entry share.
constexpr char kJvGetHint[] = "JRA-VANﾃﾞｰﾀ(*.lzh)を読み込んで解凍し、ﾃﾞｰﾀﾌｧｲﾙを作成します";
constexpr char kBalanceHint[] = "過去の買い目の収支を期間・券種・パターン別に集計します";
constexpr char kPrintHint[] = "買い目や予想支援ﾃﾞｰﾀを印刷します";

}  // namespace

ActionTable::ActionTable(MainWindow& window) : window_(window) {
    // Inside a member of a friend of the window: the rows name its private
    // commands.
    // The toolbar's buttons left to right, then each menu's entries top to
    // bottom, in the order of kMenus.
    static const ActionRow kActions[] = {
        {Place::ToolBar, "JVDataGet", "JVデータ取得", kJvGetHint, "", &MainWindow::openDownloadWindow, 0},
        {Place::ToolBar, "ResultsRefreshButton", "結果情報", "レース結果の簡易表示窓を出します。", "",
         &MainWindow::fetchResults, 0},
        {Place::ToolBar, "PredictionButton", "予想", "予想表を表示します", "", &MainWindow::showPrediction,
         kOffUntilADay},
        {Place::ToolBar, "RaceCardButton", "出馬表", "出馬表を表示します", "", &MainWindow::showContents,
         kOffUntilADay},
        {Place::ToolBar, "GraphButton", "能力ｸﾞﾗﾌ", "ﾀｲﾑｸﾞﾗﾌを表示します", "", &MainWindow::showGraph,
         kOffUntilADay},
        {Place::ToolBar, "CalculationButton", "計算表", "計算表を表示します", "", &MainWindow::showCalc,
         kOffUntilADay},
        {Place::ToolBar, "AllocationButton", "資金配分", "資金配分の計算をします", "",
         &MainWindow::showAllocation, kOffUntilADay},
        {Place::ToolBar, "ResultsRecordButton", "実績表", "実績表を表示します", "",
         &MainWindow::showResultsRecord, 0},
        // The balance reads the store, not the loaded day: always available.
        {Place::ToolBar, "BalanceButton", "収支分析", kBalanceHint, "", &MainWindow::showBalance, 0},
        {Place::ToolBar, "PrintChoiceButton", "印刷", kPrintHint, "", &MainWindow::printChosen, 0},
        {Place::ToolBar, "ExitButton", "終了", "終了", "", &MainWindow::quitProgram, 0},
        {Place::ToolBar, "CatalogueButton", "F", "ﾃﾞｰﾀﾘｽﾄ表示/非表示", "",
         &MainWindow::toggleCataloguePanel, 0},

        {Place::File, "DownloadAction", "ＪＶデータ取得(&J)", kJvGetHint, "",
         &MainWindow::openDownloadWindow, 0},
        {Place::File, "DataMaintenance", "データファイルメンテナンス(&D)",
         "使用済みのﾃﾞｰﾀを別のﾌｫﾙﾀﾞに移動したり、削除したりします", "", &MainWindow::openDataFolder, 0},
        {Place::File, "PrintAction", "印刷(&P)", kPrintHint, "", &MainWindow::printChosen, 0},
        {Place::File, "ExitAction", "終了(&X)", "終了", "", &MainWindow::quitProgram, kSeparatorBefore},

        {Place::View, "ToolBarAction", "ﾂｰﾙﾊﾞｰ(&T)", "ﾂｰﾙﾊﾞｰの表示/非表示選択", "",
         &MainWindow::showToolBarState, kCheckable},
        {Place::View, "TickerAction", "ﾃｨｯｶを消す", "ﾃｨｯｶの表示/非表示選択", "", &MainWindow::toggleTicker,
         kCheckable},
        {Place::View, "BalanceAction", "収支分析(&B)", kBalanceHint, "", &MainWindow::showBalance,
         kSeparatorBefore},

        {Place::Window, "WindowCascade", "重ねて表示(&C)", "", "", &MainWindow::cascadeViews, 0},
        {Place::Window, "WindowTile", "ならべて表示(&T)", "", "", &MainWindow::tileViews, 0},
        {Place::Window, "WindowArrange", "ｱｲｺﾝの整列(&A)", "", "", &MainWindow::arrangeIcons, 0},
        {Place::Window, "WindowMinimizeAll", "すべてをｱｲｺﾝ化(&M)", "", "", &MainWindow::minimiseViews, 0},

        {Place::Help, "HelpContents", "目次(&C)", "ﾍﾙﾌﾟの目次を表示します", "", &MainWindow::openHelp, 0},
        {Place::Help, "HelpAbout", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", "ﾌﾟﾛｸﾞﾗﾑの情報を表示します", "",
         &MainWindow::showAbout, 0},
    };

    toolBar_ = window.addToolBar(QStringLiteral("ツールバー"));
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    std::map<Place, QMenu*> menus;
    for (const MenuRow& row : kMenus) {
        QMenu* menu = window.menuBar()->addMenu(QString::fromUtf8(row.title));
        if (*row.name != '\0') menu->setObjectName(QString::fromUtf8(row.name));
        menus[row.place] = menu;
    }
    for (const ActionRow& row : kActions) {
        QString caption = QString::fromUtf8(row.caption);
        QString hint = QString::fromUtf8(row.hint);
        auto* a = new QAction(caption, &window);
        a->setObjectName(QString::fromUtf8(row.name));
        if (!hint.isEmpty()) a->setStatusTip(hint);
        if (*row.shortcut != '\0') a->setShortcut(QKeySequence(QString::fromUtf8(row.shortcut)));
        a->setCheckable((row.flags & kCheckable) != 0);
        if ((row.flags & kOffUntilADay) != 0) a->setEnabled(false);
        QObject::connect(a, &QAction::triggered, &window, row.slot);
        if (row.place == Place::ToolBar) {
            a->setToolTip(hint.isEmpty() ? caption : hint);
            toolBar_->addAction(a);
        } else {
            QMenu* menu = menus.at(row.place);
            if ((row.flags & kSeparatorBefore) != 0) menu->addSeparator();
            menu->addAction(a);
        }
    }
}

QAction* ActionTable::action(const QString& objectName) const {
    return window_.findChild<QAction*>(objectName);
}

void ActionTable::setDayViewsEnabled(bool on) {
    for (const char* name :
         {"PredictionButton", "RaceCardButton", "GraphButton", "CalculationButton", "AllocationButton"}) {
        action(QString::fromLatin1(name))->setEnabled(on);
    }
}

void ActionTable::setPrintEnabled(bool on) {
    action(QStringLiteral("PrintChoiceButton"))->setEnabled(on);
    action(QStringLiteral("PrintAction"))->setEnabled(on);
}

void ActionTable::setWindowCommandsEnabled(bool on) {
    for (const char* name : {"WindowCascade", "WindowTile", "WindowArrange", "WindowMinimizeAll"}) {
        if (QAction* a = action(QString::fromLatin1(name))) a->setEnabled(on);
    }
}
