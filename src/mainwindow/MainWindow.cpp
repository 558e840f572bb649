#include "mainwindow/MainWindow.hpp"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTextStream>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <map>

#include "jvlink/result_text.hpp"
#include "jvlink/results_refresh.hpp"
#include "layouts/balance_layout.hpp"
#include "layouts/print_layouts.hpp"
#include "mainwindow/LoadProgressDialog.hpp"
#include "mainwindow/TickerWidget.hpp"
#include "pipeline/day_files.hpp"
#include "pipeline/hit_export.hpp"
#include "prediction/results_record.hpp"
#include "prediction/user_prediction.hpp"
#include "printing/PreviewWindow.hpp"
#include "printing/PrintDialog.hpp"
#include "printing/PrintPreview.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/help_guide.hpp"
#include "store/version.hpp"
#include "views/CalculationTableView.hpp"
#include "views/RaceCardView.hpp"
#include "views/TimeGraphView.hpp"
#include "views/PredictionView.hpp"
#include "widgets/EffectLabel.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/error_boundary.hpp"
#include "widgets/qt_text.hpp"
#include "windows/BalanceWindow.hpp"
#include "windows/DownloadWindow.hpp"
#include "windows/FundAllocationView.hpp"
#include "windows/HelpWindow.hpp"

namespace fs = std::filesystem;
using tolven::cp;
using tolven::qs;

namespace {

const char* const kBuiltInTicker =
    "必勝馬券ソフト「TOLVEN」、その実績はあなたの目でお確かめください。";


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

MainWindow::MainWindow(fs::path base, std::unique_ptr<tolven::JvLink> link, QWidget* parent)
    : QMainWindow(parent),
      base_(std::move(base)),
      link_(std::move(link)),
      now_(&tolven::DateTime::now) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("TOLVEN"));
    IniSettings::setApplicationDir(base_);
    ini_.setFileName(QString());

    QWidget* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // The two black panels: the day banner and the ticker.
    auto* top = new QHBoxLayout;
    top->setSpacing(2);
    banner_ = new QLabel(central);
    banner_->setObjectName(QStringLiteral("Banner"));
    // A style sheet, not the palette: some platform styles ignore a label's
    // window colour.
    banner_->setStyleSheet(QStringLiteral("QLabel { background-color: black; color: #00FF00; }"));
    QFont bannerFont(QStringLiteral("ＭＳ Ｐゴシック"));
    bannerFont.setBold(true);
    bannerFont.setPixelSize(15);
    banner_->setFont(bannerFont);
    banner_->setMinimumSize(320, 24);
    banner_->setContentsMargins(6, 2, 6, 2);
    top->addWidget(banner_);
    tickerPanel_ = new QWidget(central);
    auto* tickerLayout = new QHBoxLayout(tickerPanel_);
    tickerLayout->setContentsMargins(0, 0, 0, 0);
    ticker_ = new TickerWidget(tickerPanel_);
    tickerLayout->addWidget(ticker_);
    top->addWidget(tickerPanel_, 1);
    outer->addLayout(top);

    auto* splitter = new QSplitter(Qt::Horizontal, central);
    cataloguePanel_ = new QWidget(splitter);
    createCatalogue(cataloguePanel_);
    mdi_ = new QMdiArea(splitter);
    mdi_->setObjectName(QStringLiteral("MdiArea"));
    // With scroll bars a view larger than the area is scrolled to; without
    // them the area (and so the main window) would grow to the largest
    // view, beyond the screen once the views are tiled.
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The toolbar buttons maximise the view they show; minimising the views
    // must not maximise the next one instead.
    mdi_->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    mdi_->setBackground(QColor(128, 128, 128));
    splitter->addWidget(cataloguePanel_);
    splitter->addWidget(mdi_);
    splitter->setStretchFactor(1, 1);
    outer->addWidget(splitter, 1);
    setCentralWidget(central);

    createActions();
    statusBar()->showMessage(QString());
    unsaved_ = new QLabel(QStringLiteral("予想・投資金額は保存されていません"), this);
    unsaved_->setObjectName(QStringLiteral("UnsavedMark"));
    unsaved_->setStyleSheet(QStringLiteral("QLabel { color: #C00000; font-weight: bold; }"));
    statusBar()->addPermanentWidget(unsaved_);
    unsaved_->hide();

    // The ticker text: message.txt joined without separators, or the
    // built-in line.
    QString tickerText;
    QFile message(QString::fromStdString((base_ / "message.txt").string()));
    if (message.open(QIODevice::ReadOnly)) {
        QByteArray bytes = message.readAll();
        QString all = qs(bytes.toStdString());
        for (const QString& line : all.split(QRegularExpression(QStringLiteral("\r?\n")))) {
            tickerText += line;
        }
    }
    ticker_->setText(tickerText.isEmpty() ? QString::fromUtf8(kBuiltInTicker) : tickerText);

    restoreSettings();
    tolven::DataStore(base_).create_folders();
    createChildren();
    progress_ = new LoadProgressDialog(this);
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this] { updateWindowMenu(); });
    rebuildCatalogue();
    updateWindowMenu();
}

MainWindow::~MainWindow() {
    // Stop routing active-window changes: the child windows go after this
    // object is no longer a MainWindow.
    disconnect(mdi_, nullptr, this, nullptr);
    dayList_->removeEventFilter(this);
    dayList_->viewport()->removeEventFilter(this);
}

void MainWindow::setClock(std::function<tolven::DateTime()> now) {
    now_ = std::move(now);
}

QAction* MainWindow::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void MainWindow::createActions() {
    // The toolbar's buttons left to right, then each menu's entries top to
    // bottom, in the order of kMenus.
    static const ActionRow kActions[] = {
        {Place::ToolBar, "JVDataGet", "JVデータ取得", kJvGetHint, "", &MainWindow::openDownloadWindow,
         0},
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
        {Place::ToolBar, "SpeedButton9", "資金配分", "資金配分の計算をします", "",
         &MainWindow::showAllocation, kOffUntilADay},
        {Place::ToolBar, "ResultsRecordButton", "実績表", "実績表を表示します", "",
         &MainWindow::showResultsRecord, 0},
        // The balance reads the store, not the loaded day: always available.
        {Place::ToolBar, "BalanceButton", "収支分析", kBalanceHint, "", &MainWindow::showBalance, 0},
        {Place::ToolBar, "PrintChoiceButton", "印刷", kPrintHint, "", &MainWindow::printChosen, 0},
        {Place::ToolBar, "ExitButton", "終了", "終了", "", &MainWindow::quitProgram, 0},
        {Place::ToolBar, "AllocationButton", "F", "ﾃﾞｰﾀﾘｽﾄ表示/非表示", "", &MainWindow::toggleCataloguePanel,
         0},

        {Place::File, "DownloadAction", "ＪＶデータ取得(&J)", kJvGetHint, "",
         &MainWindow::openDownloadWindow, 0},
        {Place::File, "DataMaintenance", "データファイルメンテナンス(&D)",
         "使用済みのﾃﾞｰﾀを別のﾌｫﾙﾀﾞに移動したり、削除したりします", "", &MainWindow::openDataFolder,
         0},
        {Place::File, "PrintAction", "印刷(&P)", kPrintHint, "", &MainWindow::printChosen, 0},
        {Place::File, "ExitAction", "終了(&X)", "終了", "", &MainWindow::quitProgram,
         kSeparatorBefore},

        {Place::View, "ToolBarAction", "ﾂｰﾙﾊﾞｰ(&T)", "ﾂｰﾙﾊﾞｰの表示/非表示選択", "",
         &MainWindow::showToolBarState, kCheckable},
        {Place::View, "TickerAction", "ﾃｨｯｶを消す", "ﾃｨｯｶの表示/非表示選択", "",
         &MainWindow::toggleTicker, kCheckable},
        {Place::View, "BalanceAction", "収支分析(&B)", kBalanceHint, "", &MainWindow::showBalance,
         kSeparatorBefore},

        {Place::Window, "WindowCascade", "重ねて表示(&C)", "", "", &MainWindow::cascadeViews, 0},
        {Place::Window, "WindowTile", "ならべて表示(&T)", "", "", &MainWindow::tileViews, 0},
        {Place::Window, "WindowArrange", "ｱｲｺﾝの整列(&A)", "", "", &MainWindow::arrangeIcons, 0},
        {Place::Window, "WindowMinimizeAll", "すべてをｱｲｺﾝ化(&M)", "", "",
         &MainWindow::minimiseViews, 0},

        {Place::Help, "HelpContents", "目次(&C)", "ﾍﾙﾌﾟの目次を表示します", "",
         &MainWindow::openHelp, 0},
        {Place::Help, "HelpAbout", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", "ﾌﾟﾛｸﾞﾗﾑの情報を表示します", "",
         &MainWindow::showAbout, 0},
    };

    toolBar_ = addToolBar(QStringLiteral("ツールバー"));
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    std::map<Place, QMenu*> menus;
    for (const MenuRow& row : kMenus) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(row.title));
        if (*row.name != '\0') menu->setObjectName(QString::fromUtf8(row.name));
        menus[row.place] = menu;
    }
    for (const ActionRow& row : kActions) {
        QString caption = QString::fromUtf8(row.caption);
        QString hint = QString::fromUtf8(row.hint);
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromUtf8(row.name));
        if (!hint.isEmpty()) a->setStatusTip(hint);
        if (*row.shortcut != '\0') a->setShortcut(QKeySequence(QString::fromUtf8(row.shortcut)));
        a->setCheckable((row.flags & kCheckable) != 0);
        if ((row.flags & kOffUntilADay) != 0) a->setEnabled(false);
        connect(a, &QAction::triggered, this, row.slot);
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

void MainWindow::showPrediction() {
    showChild(predictionWindow_);
}
void MainWindow::showContents() {
    showChild(contentsWindow_);
}
void MainWindow::showGraph() {
    showChild(graphWindow_);
}
void MainWindow::showCalc() {
    showChild(calcWindow_);
}
void MainWindow::showAllocation() {
    showChild(allocationWindow_);
}
void MainWindow::showBalance() {
    showChild(balanceSubWindow_);
}

void MainWindow::printChosen() {
    if (!loaded_ || !complete_ || day_.race_count <= 0) {
        MessageDialog::warning(this, QStringLiteral("分析用データを読み込んでください。"));
        return;
    }
    PrintDialog dialog(qs(day_.entry), day_.race_count, this);
    // Modal to this window only: the preview each OK brings up is a window of
    // its own and stays usable while the dialog is open.
    dialog.setWindowModality(Qt::WindowModal);
    dialog.onPrint = [this](int chosen) { printItem(chosen); };
    dialog.exec();
}

void MainWindow::quitProgram() {
    close();
}

void MainWindow::toggleCataloguePanel() {
    bool show = !cataloguePanel_->isVisible();
    if (show) rebuildCatalogue();
    cataloguePanel_->setVisible(show);
}

void MainWindow::openDataFolder() {
    QString folder = QString::fromStdString((base_ / "Data").string());
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
        MessageDialog::information(
            this, QStringLiteral("データフォルダを開けませんでした。ファイルマネージャーで次のフォルダを開いてください:\n") +
                      folder);
    }
}

void MainWindow::toggleTicker() {
    bool hidden = action(QStringLiteral("TickerAction"))->isChecked();
    tickerPanel_->setVisible(!hidden);
    tolven::guarded(this, QStringLiteral("設定を保存できませんでした。"), [&] {
        ini_.writeText(tolven::settings::ticker,
                       hidden ? QStringLiteral("Off") : QStringLiteral("On"));
    });
}

void MainWindow::showToolBarState() {
    // The toolbar entry only shows the setting.
    action(QStringLiteral("ToolBarAction"))->setChecked(toolBar_->isVisible());
}

void MainWindow::cascadeViews() {
    mdi_->cascadeSubWindows();
}

void MainWindow::minimiseViews() {
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        if (w->isVisible()) w->showMinimized();
    }
}

void MainWindow::showAbout() {
    // The about box: the program's name and its version line drawn with a
    // shadow.
    QDialog box(this);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    auto* layout = new QVBoxLayout(&box);
    auto* name = new QLabel(QStringLiteral("TOLVEN for JRA-VAN Data Lab."), &box);
    QFont nameFont(QStringLiteral("ＭＳ Ｐゴシック"), 14, QFont::Bold);
    name->setFont(nameFont);
    layout->addWidget(name);
    auto* version = new EffectLabel(QLatin1String(tolven::kVersionLabel), &box);
    version->setObjectName(QStringLiteral("VersionLabel"));
    version->setTextStyle(EffectLabel::TextEffect::tsShadow);
    version->setShift(2);
    version->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 12, QFont::Bold));
    version->setFontColor(QColor(0, 0, 128));
    version->setMinimumSize(160, 28);
    layout->addWidget(version);
    auto* ok = new QPushButton(QStringLiteral("OK"), &box);
    connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
    box.exec();
}

void MainWindow::createCatalogue(QWidget* panel) {
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* courses = new QGroupBox(QStringLiteral("開催場所選択"), panel);
    auto* grid = new QGridLayout(courses);
    grid->setSpacing(1);
    courseButtons_ = new QButtonGroup(this);
    courseButtons_->setExclusive(true);
    const auto& captions = tolven::course_filter_captions();
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
        auto* b = new QToolButton(courses);
        b->setText(QString::fromStdString(captions[static_cast<std::size_t>(i)]));
        b->setCheckable(true);
        b->setAutoRaise(false);
        b->setMinimumWidth(44);
        b->setObjectName(QStringLiteral("Basho%1").arg(i));
        courseButtons_->addButton(b, i);
        if (i == 0) {
            grid->addWidget(b, 0, 0, 1, 2);
        } else {
            grid->addWidget(b, 1 + (i - 1) / 2, (i - 1) % 2);
        }
    }
    layout->addWidget(courses);

    auto* dates = new QGroupBox(QStringLiteral("レース日選択"), panel);
    auto* dateLayout = new QVBoxLayout(dates);
    dateButtons_ = new QButtonGroup(this);
    const auto& dateCaptions = tolven::date_filter_captions();
    for (int i = 0; i < static_cast<int>(dateCaptions.size()); ++i) {
        auto* r = new QRadioButton(
            QString::fromStdString(dateCaptions[static_cast<std::size_t>(i)]), dates);
        r->setObjectName(QStringLiteral("Hiduke%1").arg(i));
        dateButtons_->addButton(r, i);
        dateLayout->addWidget(r);
    }
    layout->addWidget(dates);

    dayList_ = new QListWidget(panel);
    dayList_->setObjectName(QStringLiteral("DayList"));
    dayList_->setAccessibleName(QStringLiteral("レース日一覧"));
    QFont listFont(QStringLiteral("ＭＳ ゴシック"));
    listFont.setStyleHint(QFont::TypeWriter);
    listFont.setPixelSize(13);
    dayList_->setFont(listFont);
    layout->addWidget(dayList_, 1);
    listHint_ = new QLabel(panel);
    listHint_->setObjectName(QStringLiteral("DayListHint"));
    listHint_->setWordWrap(true);
    listHint_->hide();
    layout->addWidget(listHint_);
    panel->setMinimumWidth(170);
    panel->setMaximumWidth(230);

    // The list follows the buttons whenever one goes down, by mouse, key or
    // an accessible action. A click on the button already down rebuilds it
    // too: day files may have come in since.
    for (QButtonGroup* group : {courseButtons_, dateButtons_}) {
        connect(group, &QButtonGroup::idToggled, this, [this](int, bool down) {
            if (down) rebuildCatalogue();
        });
        connect(group, &QButtonGroup::idPressed, this,
                [this, group](int id) { downAtPress_ = group->button(id)->isChecked(); });
        connect(group, &QButtonGroup::idClicked, this, [this] {
            if (downAtPress_) rebuildCatalogue();
            downAtPress_ = false;
        });
    }

    // A day is loaded when an entry becomes the chosen one, by a click, the
    // arrow keys or an accessible selection; Enter, Space and a click on the
    // entry already chosen load it again. Giving the list the focus chooses
    // nothing.
    dayList_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(dayList_, &QListWidget::itemSelectionChanged, this,
            &MainWindow::dayListSelectionChanged);
    connect(dayList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        QListWidgetItem* before = chosenAtPress_;
        chosenAtPress_ = nullptr;
        if (item != nullptr && item == before) dayListClicked(item);
    });
    dayList_->installEventFilter(this);
    dayList_->viewport()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dayList_->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        QListWidgetItem* at = dayList_->itemAt(press->position().toPoint());
        chosenAtPress_ = at != nullptr && at->isSelected() ? at : nullptr;
    } else if (watched == dayList_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool choose = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                      key->key() == Qt::Key_Space;
        QListWidgetItem* item = dayList_->currentItem();
        if (choose && key->modifiers() == Qt::NoModifier && item != nullptr) {
            if (item->isSelected()) {
                dayListClicked(item);
            } else {
                dayList_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::dayListSelectionChanged() {
    if (quietList_) return;
    QList<QListWidgetItem*> chosen = dayList_->selectedItems();
    if (chosen.isEmpty()) return;
    QListWidgetItem* item = chosen.first();
    if (dayList_->currentItem() != item) {
        // An accessible selection leaves the keyboard position behind.
        QSignalBlocker quiet(dayList_);
        dayList_->setCurrentItem(item, QItemSelectionModel::NoUpdate);
    }
    dayListClicked(item);
}

QMdiSubWindow* MainWindow::addChild(const QString& title, QWidget* content) {
    content->setWindowTitle(title);
    QMdiSubWindow* child = mdi_->addSubWindow(content);
    child->setWindowTitle(title);
    child->setAttribute(Qt::WA_DeleteOnClose, false);
    child->hide();
    return child;
}

void MainWindow::printItem(int item) {
    PrintPreview* preview = allPrint_->preview();
    preview->newDocument();
    std::string caption;
    if (item == 0) {
        tolven::draw_bet_list(day_, preview->canvas());
        caption = tolven::bet_list_caption();
    } else if (item > 0) {
        tolven::draw_analysis_sheet(day_, item, preview->canvas());
        caption = tolven::analysis_sheet_caption();
    } else {
        QListWidgetItem* selected = dayList_->currentItem();
        tolven::draw_allocation(day_, money_, selected ? cp(selected->text()) : day_.entry,
                                preview->canvas());
        caption = tolven::allocation_caption();
    }
    allPrint_->showDocument(qs(caption));
}

void MainWindow::setHelpPlaces(std::vector<fs::path> places) {
    helpPlaces_ = std::move(places);
}

void MainWindow::openHelp() {
    std::vector<fs::path> places =
        helpPlaces_.empty()
            ? tolven::help_guide_places(
                  base_, fs::path(QCoreApplication::applicationDirPath().toStdString()))
            : helpPlaces_;
    if (auto guide = tolven::find_help_guide(places)) {
        if (!help_) help_ = std::make_unique<HelpWindow>();
        help_->showGuide(*guide);
        return;
    }
    QString text = QStringLiteral("ヘルプが見つかりません。次の場所を探しました:");
    for (const fs::path& p : places) text += QLatin1Char('\n') + QString::fromStdString(p.string());
    MessageDialog::information(this, text);
}

void MainWindow::tileViews() {
    // A grid of equal cells over the area: as many columns as the widest
    // view allows (at most a square grid), rows of at least the tallest
    // view's height. A view is never squeezed below what it needs; when the
    // rows do not all fit, the area scrolls.
    QList<QMdiSubWindow*> views;
    QSize least(0, 0);
    for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isVisible()) continue;
        if (w->isMinimized() || w->isMaximized()) w->showNormal();
        views << w;
        least = least.expandedTo(w->minimumSizeHint());
    }
    if (views.isEmpty()) return;
    // The area without scroll bars; rows that do not fit take the width of
    // the vertical one.
    QRect area = mdi_->contentsRect();
    const int n = static_cast<int>(views.size());
    int square = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    int columns = std::clamp(area.width() / std::max(1, least.width()), 1, square);
    int rows = (n + columns - 1) / columns;
    int height = std::max(area.height() / rows, least.height());
    if (rows * height > area.height()) {
        area.setWidth(area.width() -
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, mdi_));
        columns = std::clamp(area.width() / std::max(1, least.width()), 1, square);
        rows = (n + columns - 1) / columns;
        height = std::max(area.height() / rows, least.height());
    }
    int width = std::max(area.width() / columns, least.width());
    for (int i = 0; i < n; ++i) {
        int column = i % columns;
        int row = i / columns;
        // The last column takes what division left over.
        int w = column == columns - 1 ? std::max(width, area.width() - column * width) : width;
        views[i]->setGeometry(column * width, row * height, w, height);
    }
}

void MainWindow::arrangeIcons() {
    // The minimised views in a row along the bottom of the area, left to
    // right in the order they were created; a row that is full continues
    // above it.
    QRect area = mdi_->viewport()->rect();
    int x = 0;
    int bottom = area.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isVisible() || !w->isMinimized()) continue;
        QSize size = w->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            bottom -= rowHeight;
            rowHeight = 0;
        }
        w->move(x, bottom - size.height());
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}

void MainWindow::createChildren() {
    // The views of the loaded day, in the order the program creates them.
    allPrint_ = std::make_unique<PreviewWindow>(ini_);
    raceCardView_ = new RaceCardView(day_);
    contentsWindow_ = addChild(QStringLiteral("ﾚｰｽ内容表示"), raceCardView_);
    timeGraphView_ = new TimeGraphView(day_);
    graphWindow_ = addChild(QStringLiteral("タイムグラフ"), timeGraphView_);

    auto* results = new QWidget;
    auto* layout = new QVBoxLayout(results);
    layout->setContentsMargins(0, 0, 0, 0);
    hitsOnly_ = new QCheckBox(QStringLiteral("的中馬券"), results);
    hitsOnly_->setObjectName(QStringLiteral("HitsOnly"));
    resultsText_ = new QPlainTextEdit(results);
    resultsText_->setObjectName(QStringLiteral("ResultsMemo"));
    resultsText_->setReadOnly(true);
    resultsText_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette p = resultsText_->palette();
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::Text, QColor(0, 255, 0));
    resultsText_->setPalette(p);
    QFont memoFont(QStringLiteral("ＭＳ ゴシック"));
    memoFont.setBold(true);
    memoFont.setPixelSize(12);
    resultsText_->setFont(memoFont);
    layout->addWidget(hitsOnly_);
    layout->addWidget(resultsText_, 1);
    // However the box is ticked: mouse, key or an accessible action.
    connect(hitsOnly_, &QCheckBox::toggled, this, [this] { rebuildResultsRecord(); });
    resultsWindow_ = addChild(QStringLiteral("実績表"), results);

    calculationView_ = new CalculationTableView(day_);
    calcWindow_ = addChild(QStringLiteral("計算表"), calculationView_);
    allocationView_ = new FundAllocationView(money_, day_);
    allocationView_->onPrint = [this] { printItem(-1); };
    allocationView_->onSplit = [this] {
        money_.split(day_);
    };
    allocationWindow_ = addChild(QStringLiteral("資金配分"), allocationView_);
    predictionView_ = new PredictionView(day_);
    predictionView_->onHitExport = [this](bool longshot) { exportHits(longshot); };
    predictionView_->onToggleCheckItem = [this](int n, int row, int column) {
        // The mark follows whether the save went through.
        try {
            tolven::toggle_check_item(day_, n, row, column);
            setUnsaved(false);
        } catch (...) {
            setUnsaved(true);
            throw;
        }
    };
    predictionWindow_ = addChild(QStringLiteral("予想表"), predictionView_);
    balanceWindow_ = new BalanceWindow(base_);
    balanceWindow_->onPrint = [this](const tolven::BalanceReport& report) { printBalance(report); };
    balanceWindow_->onError = [this](const QString& text) { MessageDialog::information(this, text); };
    balanceSubWindow_ = addChild(QStringLiteral("収支分析"), balanceWindow_);

    // The windows that show the day follow each new one, in this order; right
    // after a load the race contents show race 1 as the main window composes
    // it.
    connect(this, &MainWindow::newDay, raceCardView_, &RaceCardView::dayLoaded);
    connect(this, &MainWindow::newDay, predictionView_, &PredictionView::dayLoaded);
    connect(this, &MainWindow::newDay, calculationView_, &CalculationTableView::dayLoaded);
    connect(this, &MainWindow::newDay, timeGraphView_, &TimeGraphView::dayLoaded);
    connect(this, &MainWindow::newDay, raceCardView_, &RaceCardView::showFirstRaceAfterLoad);
    connect(this, &MainWindow::newDay, allocationView_, &FundAllocationView::refresh);
}

void MainWindow::printBalance(const tolven::BalanceReport& report) {
    tolven::guarded(this, QStringLiteral("印刷できませんでした。"), [&] {
        PrintPreview* preview = allPrint_->preview();
        preview->newDocument();
        tolven::draw_balance(report, preview->canvas());
        allPrint_->showDocument(qs(tolven::balance_caption()));
    });
}

int MainWindow::currentPredictionRace() const {
    return predictionView_ != nullptr ? std::max(0, predictionView_->currentRace()) : 0;
}

void MainWindow::exportHits(bool longshot) {
    QListWidgetItem* item = dayList_->currentItem();
    if (item == nullptr) return;
    std::vector<std::string> entries;
    for (int i = 0; i < dayList_->count(); ++i)
        entries.push_back(cp(dayList_->item(i)->text()));
    tolven::HitExport result;
    bool exported = tolven::guarded(this, QStringLiteral("的中馬券を書き出せませんでした。"), [&] {
        result = tolven::export_hits(
            day_, base_, entries, cp(item->text()), longshot, [this](const std::string& entry) {
                // The export loads each day itself; the list only follows.
                QList<QListWidgetItem*> found = dayList_->findItems(qs(entry), Qt::MatchExactly);
                if (found.isEmpty()) return;
                QScopedValueRollback<bool> quiet(quietList_, true);
                dayList_->setCurrentItem(found.first());
            });
    });
    // The last day processed stays loaded, shown as a click on it shows it;
    // after a failure the model may hold any day of the walk, so the chosen
    // one is shown again.
    if ((!exported || result.days > 0) && dayList_->currentItem() != nullptr) {
        loadDay(dayList_->currentItem()->text());
    }
    if (!exported) return;
    if (!result.written) {
        MessageDialog::information(
            this, QStringLiteral("的中馬券はありませんでした。ファイルは書き出していません。"));
        return;
    }
    QStringList lines;
    for (const auto& line : result.html) lines << qs(line);
    QApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")));
    QString tk = QString::fromStdString(result.tk_file.string());
    QString text = QStringLiteral("的中馬券 %1 件を書き出しました。\n%2\n%3\n"
                                  "ホームページ用の一覧をクリップボードにコピーしました。")
                       .arg(result.hits)
                       .arg(tk, QString::fromStdString(result.cumulative_file.string()));
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(tk))) {
        text += QStringLiteral("\n%1 を開けませんでした。テキストエディタで開いてください。").arg(tk);
    }
    MessageDialog::information(this, text);
}

void MainWindow::showChild(QMdiSubWindow* child) {
    if (child == nullptr) return;
    child->showMaximized();
    mdi_->setActiveSubWindow(child);
    updateWindowMenu();
}

void MainWindow::showResultsRecord() {
    showChild(resultsWindow_);
}

void MainWindow::updateWindowMenu() {
    bool any = false;
    for (QMdiSubWindow* w : mdi_->subWindowList()) any = any || w->isVisible();
    for (const char* name : {"WindowCascade", "WindowTile", "WindowArrange", "WindowMinimizeAll"}) {
        if (QAction* a = action(QString::fromLatin1(name))) a->setEnabled(any);
    }
}

void MainWindow::restoreSettings() {
    namespace settings = tolven::settings;
    move(ini_.read(settings::main_left), ini_.read(settings::main_top));
    resize(ini_.read(settings::main_width), ini_.read(settings::main_height));

    bool tickerOn = ini_.readText(settings::ticker) != QLatin1String("Off");
    tickerPanel_->setVisible(tickerOn);
    action(QStringLiteral("TickerAction"))->setChecked(!tickerOn);
    QString toolbar = ini_.readText(settings::toolbar);
    // "no" hides the toolbar; anything else leaves it shown.
    bool toolbarShown = toolbar != QLatin1String("no");
    toolBar_->setVisible(toolbarShown);
    action(QStringLiteral("ToolBarAction"))->setChecked(toolbarShown);

    // Values outside the ranges the program writes fall back to the defaults.
    setCourseIndex(ini_.read(settings::course_index));
    setDateIndex(ini_.read(settings::date_index));
}

int MainWindow::courseIndex() const {
    return courseButtons_->checkedId();
}
int MainWindow::dateIndex() const {
    return dateButtons_->checkedId();
}
void MainWindow::setCourseIndex(int index) {
    courseButtons_->button(index)->setChecked(true);
}
void MainWindow::setDateIndex(int index) {
    dateButtons_->button(index)->setChecked(true);
}

void MainWindow::rebuildCatalogue() {
    QScopedValueRollback<bool> quiet(quietList_, true);
    chosenAtPress_ = nullptr;
    dayList_->clear();
    auto days = tolven::list_race_days(base_ / "Data",
                                       static_cast<tolven::DateFilter>(std::max(0, dateIndex())),
                                       std::max(0, courseIndex()), now_());
    for (const auto& day : days) dayList_->addItem(qs(day));
    showListHint();
}

void MainWindow::showListHint() {
    if (dayList_->count() > 0) {
        listHint_->hide();
        return;
    }
    bool storeEmpty = tolven::list_race_days(base_ / "Data", tolven::DateFilter::Any, 0, now_()).empty();
    listHint_->setText(
        storeEmpty ? QStringLiteral("レース日のデータがありません。ツールバーの「JVデータ取得」で"
                                    "データを取り込んでください。")
                   : QStringLiteral("この条件のレース日はありません。「日付の指定なし」や「全場」で"
                                    "ほかのレース日を表示できます。"));
    listHint_->show();
}

void MainWindow::setUnsaved(bool unsaved) {
    unsaved_->setVisible(unsaved);
}

QString MainWindow::bannerText() const {
    return banner_->text();
}
QString MainWindow::tickerText() const {
    return ticker_->text();
}

void MainWindow::setDayButtonsEnabled(bool on) {
    for (const char* name : {"PredictionButton", "RaceCardButton", "GraphButton", "CalculationButton", "SpeedButton9"}) {
        action(QString::fromLatin1(name))->setEnabled(on);
    }
}

void MainWindow::setPrintEnabled(bool on) {
    action(QStringLiteral("PrintChoiceButton"))->setEnabled(on);
    action(QStringLiteral("PrintAction"))->setEnabled(on);
}

void MainWindow::showNoDay() {
    // The model may hold parts of two days now: nothing of it is offered
    // until a day loads.
    loaded_ = false;
    complete_ = false;
    banner_->clear();
    setDayButtonsEnabled(false);
    setPrintEnabled(false);
    for (QMdiSubWindow* w :
         {predictionWindow_, contentsWindow_, graphWindow_, calcWindow_, allocationWindow_}) {
        w->hide();
    }
    // Nor does any view keep a race of it: they are emptied, so that no
    // way of showing one again brings back the previous day.
    day_ = tolven::RaceDay();
    money_.recompute(day_);
    emit newDay(day_);
    rebuildResultsRecord();
    setUnsaved(false);
    updateWindowMenu();
}

void MainWindow::dayListClicked(QListWidgetItem* item) {
    if (item != nullptr) loadDay(item->text());
}

bool MainWindow::loadDay(const QString& entry) {
    // One load at a time (the progress window lets queued events run).
    if (loading_) return false;
    QScopedValueRollback<bool> busy(loading_, true);
    // An unsaved user prediction of the previous day is saved first; when it
    // cannot be, the previous day stays as it is.
    if (loaded_ && day_.user_changed &&
        !tolven::guarded(this, QStringLiteral("予想を保存できませんでした。"),
                         [this] { tolven::save_user_file(day_, currentPredictionRace()); },
                         [this] { setUnsaved(true); })) {
        return false;
    }
    tolven::LoadProgress progress{
        [this](const std::string& caption, int maximum) { progress_->start(qs(caption), maximum); },
        [this](int position) { progress_->setPosition(position); },
        [this] { progress_->finish(); }};
    // Nothing of the previous day is printed or predicted while this one
    // loads; the panels come back only for a complete day.
    setPrintEnabled(false);
    predictionWindow_->hide();
    contentsWindow_->hide();
    tolven::LoadOutcome outcome;
    // The day's race and runner files, when one of them is missing, empty or
    // holds no record: such a day is not shown, even where it could be built.
    std::vector<std::string> problems;
    bool ran = tolven::guarded(
        this, QStringLiteral("レース日を読み込めませんでした。"),
        [&] {
            outcome = tolven::load_race_day(day_, base_, cp(entry), progress);
            problems = tolven::day_file_problems(base_, cp(entry));
            if (!outcome.built || !problems.empty() || day_.race_count <= 0) return;
            loaded_ = true;
            banner_->setText(qs(outcome.banner));
            setDayButtonsEnabled(true);
            money_.recompute(day_);
            emit newDay(day_);
            rebuildResultsRecord();
        },
        [this] {
            progress_->finish();
            showNoDay();
        });
    if (!ran) return false;
    if (!outcome.built || !problems.empty() || day_.race_count <= 0) {
        // The files at fault are named with the reason.
        showNoDay();
        QString text = outcome.built ? QStringLiteral("レース日を読み込めませんでした。")
                                     : qs(outcome.message);
        for (const std::string& problem : problems) {
            text += QLatin1Char('\n') + QString::fromStdString(problem);
        }
        MessageDialog::information(this, text);
        return false;
    }
    setUnsaved(false);
    complete_ = outcome.complete;
    if (complete_) {
        setPrintEnabled(true);
        showChild(predictionWindow_);
    } else {
        // The figures exist, but the prediction and the race card of a day
        // with a runner lacking its bracket are not offered.
        action(QStringLiteral("PredictionButton"))->setEnabled(false);
        action(QStringLiteral("RaceCardButton"))->setEnabled(false);
        updateWindowMenu();
        MessageDialog::information(this, qs(tolven::incomplete_day_message()));
    }
    return true;
}

void MainWindow::rebuildResultsRecord() {
    if (!loaded_) {
        resultsText_->clear();
        return;
    }
    QStringList lines;
    for (const auto& line : tolven::results_record(day_, hitsOnly_->isChecked())) lines << qs(line);
    resultsText_->setPlainText(lines.join(QLatin1Char('\n')));
}

void MainWindow::openDownloadWindow() {
    tolven::DataStore store(base_);
    DownloadWindow form(*link_, store, cancel_, ini_, this, now_);
    form.exec();
    // Closing the download window shows every day, newly built ones included
    // (a rebuild even when 日付の指定なし was chosen already).
    setDateIndex(static_cast<int>(tolven::DateFilter::Any));
    rebuildCatalogue();
}

void MainWindow::fetchResults() {
    if (!loaded_ || day_.race_count <= 0) return;
    QAction* button = action(QStringLiteral("ResultsRefreshButton"));
    // The day shown, whatever the list shows now.
    QString entry = qs(day_.entry);
    tolven::RefreshHost host{[] { QApplication::beep(); }, [] { QApplication::processEvents(); },
                             [button](bool busy) {
                                 button->setEnabled(!busy);
                                 if (busy) {
                                     QApplication::setOverrideCursor(Qt::WaitCursor);
                                 } else {
                                     QApplication::restoreOverrideCursor();
                                 }
                             },
                             [this, entry] { loadDay(entry); }};
    // A file error ends the refresh; it has closed the reading and shown the
    // day again with what was stored.
    tolven::guarded(this, QStringLiteral("結果情報を取り込めませんでした。"), [&] {
        tolven::refresh_results(*link_, tolven::DataStore(base_), cancel_, day_.race[0], host);
    });
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    int r = link_->JVInit(tolven::jvlink_sid());
    if (r != 0) {
        QMessageBox::information(
            this, QStringLiteral("TOLVEN"),
            QStringLiteral("JVInitエラー：") + qs(tolven::jv_result_text("JVInit", r)));
        return;
    }
    std::string version = link_->version();
    if (tolven::jvlink_version_too_old(version)) {
        MessageDialog::information(this, qs(tolven::jvlink_version_message(version)));
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    namespace settings = tolven::settings;
    // The user's changes first: when they cannot be saved, the user decides
    // whether to end without them.
    if (loaded_ && day_.user_changed) {
        try {
            tolven::save_user_file(day_, currentPredictionRace());
        } catch (const std::exception& e) {
            setUnsaved(true);
            QString text = tolven::error_text(QStringLiteral("予想を保存できませんでした。"), e) +
                           QStringLiteral("\n保存せずに終了しますか？");
            if (!MessageDialog::confirm(this, text)) {
                event->ignore();
                return;
            }
        }
    }
    // A base that cannot be written keeps its old settings; the program ends
    // all the same.
    tolven::guarded(this, QStringLiteral("設定を保存できませんでした。"), [&] {
        ini_.write(settings::main_top, y());
        ini_.write(settings::main_left, x());
        ini_.write(settings::main_width, width());
        ini_.write(settings::main_height, height());
        ini_.write(settings::date_index, dateIndex());
        ini_.write(settings::course_index, courseIndex());
    });
    // The preview is a window of its own; it goes with the program (and
    // keeps its bounds), or the program would not end.
    if (allPrint_->isVisible()) allPrint_->close();
    event->accept();
}
