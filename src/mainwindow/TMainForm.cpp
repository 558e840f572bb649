#include "mainwindow/TMainForm.hpp"

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

#include "jvlink/result_text.hpp"
#include "jvlink/results_refresh.hpp"
#include "layouts/balance_layout.hpp"
#include "layouts/print_layouts.hpp"
#include "mainwindow/TProgressForm.hpp"
#include "mainwindow/TickerWidget.hpp"
#include "pipeline/hit_export.hpp"
#include "prediction/results_record.hpp"
#include "prediction/user_prediction.hpp"
#include "printing/TAllPrintForm.hpp"
#include "printing/TPintSetForm.hpp"
#include "printing/TPrevX.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/help_guide.hpp"
#include "views/TCalForm.hpp"
#include "views/TContentsForm.hpp"
#include "views/TGraphForm.hpp"
#include "views/TYosoForm.hpp"
#include "widgets/TLabel3Dj.hpp"
#include "widgets/TMsgDlg.hpp"
#include "widgets/error_boundary.hpp"
#include "widgets/qt_text.hpp"
#include "windows/TBalanceForm.hpp"
#include "windows/TGetDataForm.hpp"
#include "windows/TshikinForm.hpp"

namespace fs = std::filesystem;
using tolven::cp;
using tolven::qs;

namespace {

const char* const kBuiltInTicker =
    "必勝馬券ソフト「TOLVEN」、その実績はあなたの目でお確かめください。";

}  // namespace

TMainForm::TMainForm(fs::path base, std::unique_ptr<tolven::JvLink> link, QWidget* parent)
    : QMainWindow(parent),
      base_(std::move(base)),
      link_(std::move(link)),
      now_(&tolven::DateTime::now) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("TOLVEN"));
    TIniGT::setApplicationDir(base_);
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
    progress_ = new TProgressForm(this);
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this] { updateWindowMenu(); });
    rebuildCatalogue();
    updateWindowMenu();
}

TMainForm::~TMainForm() {
    // Stop routing active-window changes: the child windows go after this
    // object is no longer a TMainForm.
    disconnect(mdi_, nullptr, this, nullptr);
    DatListBox_->removeEventFilter(this);
    DatListBox_->viewport()->removeEventFilter(this);
}

void TMainForm::setClock(std::function<tolven::DateTime()> now) {
    now_ = std::move(now);
}

QAction* TMainForm::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void TMainForm::createActions() {
    auto make = [this](const QString& name, const QString& text, const QString& hint) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        a->setStatusTip(hint);
        a->setToolTip(hint.isEmpty() ? text : hint);
        return a;
    };
    QAction* jvget =
        make(QStringLiteral("JVDataGet"), QStringLiteral("JVデータ取得"),
             QStringLiteral("JRA-VANﾃﾞｰﾀ(*.lzh)を読み込んで解凍し、ﾃﾞｰﾀﾌｧｲﾙを作成します"));
    QAction* kekka = make(QStringLiteral("KekkaGetBtn"), QStringLiteral("結果情報"),
                          QStringLiteral("レース結果の簡易表示窓を出します。"));
    QAction* yoso = make(QStringLiteral("YosoBtn"), QStringLiteral("予想"),
                         QStringLiteral("予想表を表示します"));
    QAction* shutuba = make(QStringLiteral("ShutubaBtn"), QStringLiteral("出馬表"),
                            QStringLiteral("出馬表を表示します"));
    QAction* graph = make(QStringLiteral("GraphBtn"), QStringLiteral("能力ｸﾞﾗﾌ"),
                          QStringLiteral("ﾀｲﾑｸﾞﾗﾌを表示します"));
    QAction* calc = make(QStringLiteral("CalcBtn"), QStringLiteral("計算表"),
                         QStringLiteral("計算表を表示します"));
    QAction* shikin = make(QStringLiteral("SpeedButton9"), QStringLiteral("資金配分"),
                           QStringLiteral("資金配分の計算をします"));
    QAction* jisseki = make(QStringLiteral("JissekiBtn"), QStringLiteral("実績表"),
                            QStringLiteral("実績表を表示します"));
    QAction* balance = make(QStringLiteral("BalanceBtn"), QStringLiteral("収支分析"),
                            QStringLiteral("過去の買い目の収支を期間・券種・パターン別に集計します"));
    QAction* print = make(QStringLiteral("PrintBtn"), QStringLiteral("印刷"),
                          QStringLiteral("買い目や予想支援ﾃﾞｰﾀを印刷します"));
    QAction* quit = make(QStringLiteral("ExitBtn"), QStringLiteral("終了"), QStringLiteral("終了"));
    QAction* panel =
        make(QStringLiteral("FBtn"), QStringLiteral("F"), QStringLiteral("ﾃﾞｰﾀﾘｽﾄ表示/非表示"));

    toolBar_ = addToolBar(QStringLiteral("ツールバー"));
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (QAction* a :
         {jvget, kekka, yoso, shutuba, graph, calc, shikin, jisseki, balance, print, quit, panel}) {
        toolBar_->addAction(a);
    }
    for (QAction* a : {yoso, shutuba, graph, calc, shikin}) a->setEnabled(false);

    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    QAction* jvgetMenu = file->addAction(QStringLiteral("ＪＶデータ取得(&J)"));
    jvgetMenu->setObjectName(QStringLiteral("JVDataGetMenu"));
    jvgetMenu->setStatusTip(jvget->statusTip());
    QAction* maintenance = file->addAction(QStringLiteral("データファイルメンテナンス(&D)"));
    maintenance->setObjectName(QStringLiteral("DataMaintenance"));
    maintenance->setStatusTip(
        QStringLiteral("使用済みのﾃﾞｰﾀを別のﾌｫﾙﾀﾞに移動したり、削除したりします"));
    QAction* printMenu = file->addAction(QStringLiteral("印刷(&P)"));
    printMenu->setObjectName(QStringLiteral("PrintMenu"));
    printMenu->setStatusTip(print->statusTip());
    file->addSeparator();
    QAction* quitMenu = file->addAction(QStringLiteral("終了(&X)"));
    quitMenu->setObjectName(QStringLiteral("ExitMenu"));
    quitMenu->setStatusTip(QStringLiteral("終了"));

    QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    QAction* toolbarMenu = view->addAction(QStringLiteral("ﾂｰﾙﾊﾞｰ(&T)"));
    toolbarMenu->setObjectName(QStringLiteral("ToolBarMenu"));
    toolbarMenu->setStatusTip(QStringLiteral("ﾂｰﾙﾊﾞｰの表示/非表示選択"));
    toolbarMenu->setCheckable(true);
    QAction* tickerMenu = view->addAction(QStringLiteral("ﾃｨｯｶを消す"));
    tickerMenu->setObjectName(QStringLiteral("TickerMenu"));
    tickerMenu->setStatusTip(QStringLiteral("ﾃｨｯｶの表示/非表示選択"));
    tickerMenu->setCheckable(true);
    view->addSeparator();
    QAction* balanceMenu = view->addAction(QStringLiteral("収支分析(&B)"));
    balanceMenu->setObjectName(QStringLiteral("BalanceMenu"));
    balanceMenu->setStatusTip(balance->statusTip());

    QMenu* window = menuBar()->addMenu(QStringLiteral("ウィンドウ(&W)"));
    window->setObjectName(QStringLiteral("WindowMenu"));
    QAction* cascade =
        window->addAction(QStringLiteral("重ねて表示(&C)"), mdi_, &QMdiArea::cascadeSubWindows);
    cascade->setObjectName(QStringLiteral("WindowCascade"));
    QAction* tile =
        window->addAction(QStringLiteral("ならべて表示(&T)"), this, &TMainForm::tileViews);
    tile->setObjectName(QStringLiteral("WindowTile"));
    QAction* arrange =
        window->addAction(QStringLiteral("ｱｲｺﾝの整列(&A)"), this, &TMainForm::arrangeIcons);
    arrange->setObjectName(QStringLiteral("WindowArrange"));
    QAction* minimise = window->addAction(QStringLiteral("すべてをｱｲｺﾝ化(&M)"), this, [this] {
        for (QMdiSubWindow* w : mdi_->subWindowList()) {
            if (w->isVisible()) w->showMinimized();
        }
    });
    minimise->setObjectName(QStringLiteral("WindowMinimizeAll"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    QAction* contents = help->addAction(QStringLiteral("目次(&C)"));
    contents->setObjectName(QStringLiteral("HelpContents"));
    contents->setStatusTip(QStringLiteral("ﾍﾙﾌﾟの目次を表示します"));
    QAction* about = help->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)..."));
    about->setObjectName(QStringLiteral("HelpAbout"));
    about->setStatusTip(QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの情報を表示します"));

    connect(jvget, &QAction::triggered, this, &TMainForm::JVDataGetClick);
    connect(jvgetMenu, &QAction::triggered, this, &TMainForm::JVDataGetClick);
    connect(kekka, &QAction::triggered, this, &TMainForm::KekkaGetBtnClick);
    connect(yoso, &QAction::triggered, this, [this] { showChild(predictionWindow_); });
    connect(shutuba, &QAction::triggered, this, [this] { showChild(contentsWindow_); });
    connect(graph, &QAction::triggered, this, [this] { showChild(graphWindow_); });
    connect(calc, &QAction::triggered, this, [this] { showChild(calcWindow_); });
    connect(shikin, &QAction::triggered, this, [this] { showChild(allocationWindow_); });
    connect(jisseki, &QAction::triggered, this, &TMainForm::ShowResultsRecord);
    // The balance reads the store, not the loaded day: always available.
    connect(balance, &QAction::triggered, this, [this] { showChild(balanceWindow_); });
    connect(balanceMenu, &QAction::triggered, this, [this] { showChild(balanceWindow_); });
    auto printAction = [this] {
        if (!loaded_ || !complete_ || day_.race_count <= 0) {
            TMsgDlg::warning(this, QStringLiteral("分析用データを読み込んでください。"));
            return;
        }
        TPintSetForm dialog(qs(day_.entry), day_.race_count, this);
        // Modal to this window only: the preview each OK brings up is a
        // window of its own and stays usable while the dialog is open.
        dialog.setWindowModality(Qt::WindowModal);
        dialog.onPrint = [this](int chosen) { printItem(chosen); };
        dialog.exec();
    };
    connect(print, &QAction::triggered, this, printAction);
    connect(printMenu, &QAction::triggered, this, printAction);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    connect(quitMenu, &QAction::triggered, this, &QWidget::close);
    connect(panel, &QAction::triggered, this, [this] {
        bool show = !cataloguePanel_->isVisible();
        if (show) rebuildCatalogue();
        cataloguePanel_->setVisible(show);
    });
    connect(maintenance, &QAction::triggered, this, [this] {
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QString::fromStdString((base_ / "Data").string())));
    });
    connect(tickerMenu, &QAction::triggered, this, [this](bool checked) {
        tickerPanel_->setVisible(!checked);
        ini_.WriteString(QStringLiteral("Ticker"), QStringLiteral("OnOff"),
                         checked ? QStringLiteral("Off") : QStringLiteral("On"));
    });
    // The toolbar entry only shows the setting.
    connect(toolbarMenu, &QAction::triggered, this,
            [toolbarMenu, this] { toolbarMenu->setChecked(toolBar_->isVisible()); });
    connect(contents, &QAction::triggered, this, &TMainForm::openHelp);
    connect(about, &QAction::triggered, this, [this] {
        // The about box: the program's name and its version line drawn with
        // a shadow.
        QDialog box(this);
        box.setObjectName(QStringLiteral("AboutBox"));
        box.setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
        auto* layout = new QVBoxLayout(&box);
        auto* name = new QLabel(QStringLiteral("TOLVEN for JRA-VAN Data Lab."), &box);
        QFont nameFont(QStringLiteral("ＭＳ Ｐゴシック"), 14, QFont::Bold);
        name->setFont(nameFont);
        layout->addWidget(name);
        auto* version = new TLabel3Dj(QStringLiteral("Ver.1.30"), &box);
        version->setObjectName(QStringLiteral("VersionLabel"));
        version->setTextStyle(TLabel3Dj::TTextStyle::tsShadow);
        version->setShift(2);
        version->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 12, QFont::Bold));
        version->setFontColor(QColor(0, 0, 128));
        version->setMinimumSize(160, 28);
        layout->addWidget(version);
        auto* ok = new QPushButton(QStringLiteral("OK"), &box);
        connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
        layout->addWidget(ok, 0, Qt::AlignRight);
        box.exec();
    });
}

void TMainForm::createCatalogue(QWidget* panel) {
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

    DatListBox_ = new QListWidget(panel);
    DatListBox_->setObjectName(QStringLiteral("DatListBox"));
    DatListBox_->setAccessibleName(QStringLiteral("レース日一覧"));
    QFont listFont(QStringLiteral("ＭＳ ゴシック"));
    listFont.setStyleHint(QFont::TypeWriter);
    listFont.setPixelSize(13);
    DatListBox_->setFont(listFont);
    layout->addWidget(DatListBox_, 1);
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
    DatListBox_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(DatListBox_, &QListWidget::itemSelectionChanged, this,
            &TMainForm::DatListBoxSelectionChanged);
    connect(DatListBox_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        QListWidgetItem* before = chosenAtPress_;
        chosenAtPress_ = nullptr;
        if (item != nullptr && item == before) DatListBoxClick(item);
    });
    DatListBox_->installEventFilter(this);
    DatListBox_->viewport()->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DatListBox_->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        QListWidgetItem* at = DatListBox_->itemAt(press->position().toPoint());
        chosenAtPress_ = at != nullptr && at->isSelected() ? at : nullptr;
    } else if (watched == DatListBox_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool choose = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                      key->key() == Qt::Key_Space;
        QListWidgetItem* item = DatListBox_->currentItem();
        if (choose && key->modifiers() == Qt::NoModifier && item != nullptr) {
            if (item->isSelected()) {
                DatListBoxClick(item);
            } else {
                DatListBox_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::DatListBoxSelectionChanged() {
    if (quietList_) return;
    QList<QListWidgetItem*> chosen = DatListBox_->selectedItems();
    if (chosen.isEmpty()) return;
    QListWidgetItem* item = chosen.first();
    if (DatListBox_->currentItem() != item) {
        // An accessible selection leaves the keyboard position behind.
        QSignalBlocker quiet(DatListBox_);
        DatListBox_->setCurrentItem(item, QItemSelectionModel::NoUpdate);
    }
    DatListBoxClick(item);
}

QMdiSubWindow* TMainForm::addChild(const QString& title, QWidget* content) {
    content->setWindowTitle(title);
    QMdiSubWindow* child = mdi_->addSubWindow(content);
    child->setWindowTitle(title);
    child->setAttribute(Qt::WA_DeleteOnClose, false);
    child->hide();
    return child;
}

void TMainForm::printItem(int item) {
    TPrevX* preview = allPrint_->preview();
    preview->newDocument();
    std::string caption;
    if (item == 0) {
        tolven::draw_bet_list(day_, preview->canvas());
        caption = tolven::bet_list_caption();
    } else if (item > 0) {
        tolven::draw_analysis_sheet(day_, item, preview->canvas());
        caption = tolven::analysis_sheet_caption();
    } else {
        QListWidgetItem* selected = DatListBox_->currentItem();
        tolven::draw_allocation(day_, money_, selected ? cp(selected->text()) : day_.entry,
                                preview->canvas());
        caption = tolven::allocation_caption();
    }
    allPrint_->showDocument(qs(caption));
}

void TMainForm::setHelpPlaces(std::vector<fs::path> places) {
    helpPlaces_ = std::move(places);
}

void TMainForm::openHelp() {
    std::vector<fs::path> places =
        helpPlaces_.empty()
            ? tolven::help_guide_places(
                  base_, fs::path(QCoreApplication::applicationDirPath().toStdString()))
            : helpPlaces_;
    if (auto guide = tolven::find_help_guide(places)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(guide->string())));
        return;
    }
    QString text = QStringLiteral("ヘルプが見つかりません。次の場所を探しました:");
    for (const fs::path& p : places) text += QLatin1Char('\n') + QString::fromStdString(p.string());
    TMsgDlg::information(this, text);
}

void TMainForm::tileViews() {
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

void TMainForm::arrangeIcons() {
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

void TMainForm::createChildren() {
    // The views of the loaded day, in the order the program creates them.
    allPrint_ = std::make_unique<TAllPrintForm>(ini_);
    contents_ = new TContentsForm(day_);
    contentsWindow_ = addChild(QStringLiteral("ﾚｰｽ内容表示"), contents_);
    graph_ = new TGraphForm(day_);
    graphWindow_ = addChild(QStringLiteral("タイムグラフ"), graph_);

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

    cal_ = new TCalForm(day_);
    calcWindow_ = addChild(QStringLiteral("計算表"), cal_);
    shikin_ = new TshikinForm(money_, day_);
    shikin_->onPrint = [this] { printItem(-1); };
    allocationWindow_ = addChild(QStringLiteral("資金配分"), shikin_);
    yoso_ = new TYosoForm(day_);
    yoso_->onHitExport = [this](bool longshot) { exportHits(longshot); };
    predictionWindow_ = addChild(QStringLiteral("予想表"), yoso_);
    balance_ = new TBalanceForm(base_);
    balance_->onPrint = [this](const tolven::BalanceReport& report) { printBalance(report); };
    balance_->onError = [this](const QString& text) { TMsgDlg::information(this, text); };
    balanceWindow_ = addChild(QStringLiteral("収支分析"), balance_);
}

void TMainForm::printBalance(const tolven::BalanceReport& report) {
    tolven::guarded(this, QStringLiteral("印刷できませんでした。"), [&] {
        TPrevX* preview = allPrint_->preview();
        preview->newDocument();
        tolven::draw_balance(report, preview->canvas());
        allPrint_->showDocument(qs(tolven::balance_caption()));
    });
}

int TMainForm::currentPredictionRace() const {
    return yoso_ != nullptr ? std::max(0, yoso_->currentRace()) : 0;
}

void TMainForm::refreshViews() {
    contents_->dayLoaded();
    yoso_->dayLoaded();
    cal_->dayLoaded();
    graph_->dayLoaded();
    // Right after a load the race contents show race 1 as the main window
    // composes it.
    contents_->showFirstRaceAfterLoad();
    shikin_->refresh();
}

void TMainForm::exportHits(bool longshot) {
    QListWidgetItem* item = DatListBox_->currentItem();
    if (item == nullptr) return;
    std::vector<std::string> entries;
    for (int i = 0; i < DatListBox_->count(); ++i)
        entries.push_back(cp(DatListBox_->item(i)->text()));
    tolven::HitExport result;
    bool exported = tolven::guarded(this, QStringLiteral("的中馬券を書き出せませんでした。"), [&] {
        result = tolven::export_hits(
            day_, base_, entries, cp(item->text()), longshot, [this](const std::string& entry) {
                // The export loads each day itself; the list only follows.
                QList<QListWidgetItem*> found = DatListBox_->findItems(qs(entry), Qt::MatchExactly);
                if (found.isEmpty()) return;
                QScopedValueRollback<bool> quiet(quietList_, true);
                DatListBox_->setCurrentItem(found.first());
            });
    });
    // The last day processed stays loaded, shown as a click on it shows it;
    // after a failure the model may hold any day of the walk, so the chosen
    // one is shown again.
    if ((!exported || result.days > 0) && DatListBox_->currentItem() != nullptr) {
        loadDay(DatListBox_->currentItem()->text());
    }
    if (!exported || !result.written) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(result.tk_file.string())));
    QStringList lines;
    for (const auto& line : result.html) lines << qs(line);
    QApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")));
}

void TMainForm::showChild(QMdiSubWindow* child) {
    if (child == nullptr) return;
    child->showMaximized();
    mdi_->setActiveSubWindow(child);
    updateWindowMenu();
}

void TMainForm::ShowResultsRecord() {
    showChild(resultsWindow_);
}

void TMainForm::updateWindowMenu() {
    bool any = false;
    for (QMdiSubWindow* w : mdi_->subWindowList()) any = any || w->isVisible();
    for (const char* name : {"WindowCascade", "WindowTile", "WindowArrange", "WindowMinimizeAll"}) {
        if (QAction* a = action(QString::fromLatin1(name))) a->setEnabled(any);
    }
}

void TMainForm::restoreSettings() {
    const QString locate = QStringLiteral("locate");
    int top = ini_.ReadInteger(locate, QStringLiteral("top"), 10);
    int left = ini_.ReadInteger(locate, QStringLiteral("left"), 10);
    int width = ini_.ReadInteger(locate, QStringLiteral("width"), 1000);
    int height = ini_.ReadInteger(locate, QStringLiteral("height"), 800);
    move(left, top);
    resize(width, height);

    bool tickerOn = ini_.ReadString(QStringLiteral("Ticker"), QStringLiteral("OnOff"),
                                    QStringLiteral("On")) != QLatin1String("Off");
    tickerPanel_->setVisible(tickerOn);
    action(QStringLiteral("TickerMenu"))->setChecked(!tickerOn);
    QString toolbar = ini_.ReadString(QStringLiteral("ToolBar"), QStringLiteral("Chk"), QString());
    // "no" hides the toolbar; anything else leaves it shown.
    bool toolbarShown = toolbar != QLatin1String("no");
    toolBar_->setVisible(toolbarShown);
    action(QStringLiteral("ToolBarMenu"))->setChecked(toolbarShown);

    // Values outside the ranges the program writes fall back to the defaults.
    int basho = ini_.ReadInteger(QStringLiteral("SelPlace"), QStringLiteral("basho"), 0);
    int hiduke = ini_.ReadInteger(QStringLiteral("SelPlace"), QStringLiteral("hiduke"), 0);
    setCourseIndex(basho >= 0 && basho <= 10 ? basho : 0);
    setDateIndex(hiduke >= 0 && hiduke <= 2 ? hiduke : 0);
}

int TMainForm::courseIndex() const {
    return courseButtons_->checkedId();
}
int TMainForm::dateIndex() const {
    return dateButtons_->checkedId();
}
void TMainForm::setCourseIndex(int index) {
    courseButtons_->button(index)->setChecked(true);
}
void TMainForm::setDateIndex(int index) {
    dateButtons_->button(index)->setChecked(true);
}

void TMainForm::rebuildCatalogue() {
    QScopedValueRollback<bool> quiet(quietList_, true);
    chosenAtPress_ = nullptr;
    DatListBox_->clear();
    auto days = tolven::list_race_days(base_ / "Data",
                                       static_cast<tolven::DateFilter>(std::max(0, dateIndex())),
                                       std::max(0, courseIndex()), now_());
    for (const auto& day : days) DatListBox_->addItem(qs(day));
}

QString TMainForm::bannerText() const {
    return banner_->text();
}
QString TMainForm::tickerText() const {
    return ticker_->text();
}

void TMainForm::setDayButtonsEnabled(bool on) {
    for (const char* name : {"YosoBtn", "ShutubaBtn", "GraphBtn", "CalcBtn", "SpeedButton9"}) {
        action(QString::fromLatin1(name))->setEnabled(on);
    }
}

void TMainForm::setPrintEnabled(bool on) {
    action(QStringLiteral("PrintBtn"))->setEnabled(on);
    action(QStringLiteral("PrintMenu"))->setEnabled(on);
}

void TMainForm::showNoDay() {
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
    rebuildResultsRecord();
    updateWindowMenu();
}

void TMainForm::DatListBoxClick(QListWidgetItem* item) {
    if (item != nullptr) loadDay(item->text());
}

bool TMainForm::loadDay(const QString& entry) {
    // One load at a time (the progress window lets queued events run).
    if (loading_) return false;
    QScopedValueRollback<bool> busy(loading_, true);
    // An unsaved user prediction of the previous day is saved first; when it
    // cannot be, the previous day stays as it is.
    if (loaded_ && day_.user_changed &&
        !tolven::guarded(this, QStringLiteral("予想を保存できませんでした。"),
                         [this] { tolven::save_user_file(day_, currentPredictionRace()); })) {
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
    bool ran = tolven::guarded(
        this, QStringLiteral("レース日を読み込めませんでした。"),
        [&] {
            outcome = tolven::load_race_day(day_, base_, cp(entry), progress);
            if (!outcome.built) return;
            loaded_ = true;
            banner_->setText(qs(outcome.banner));
            setDayButtonsEnabled(true);
            money_.recompute(day_);
            refreshViews();
            rebuildResultsRecord();
        },
        [this] {
            progress_->finish();
            showNoDay();
        });
    if (!ran) return false;
    if (!outcome.built) {
        showNoDay();
        TMsgDlg::information(this, qs(outcome.message));
        return false;
    }
    complete_ = outcome.complete;
    if (complete_) {
        setPrintEnabled(true);
        showChild(predictionWindow_);
    } else {
        // The figures exist, but the prediction and the race card of a day
        // with a runner lacking its bracket are not offered.
        action(QStringLiteral("YosoBtn"))->setEnabled(false);
        action(QStringLiteral("ShutubaBtn"))->setEnabled(false);
        updateWindowMenu();
        TMsgDlg::information(this, qs(tolven::incomplete_day_message()));
    }
    return true;
}

void TMainForm::rebuildResultsRecord() {
    if (!loaded_) {
        resultsText_->clear();
        return;
    }
    QStringList lines;
    for (const auto& line : tolven::results_record(day_, hitsOnly_->isChecked())) lines << qs(line);
    resultsText_->setPlainText(lines.join(QLatin1Char('\n')));
}

void TMainForm::JVDataGetClick() {
    tolven::DataStore store(base_);
    TGetDataForm form(*link_, store, cancel_, ini_, this, now_);
    form.exec();
    // Closing the download window shows every day, newly built ones included
    // (a rebuild even when 日付の指定なし was chosen already).
    setDateIndex(static_cast<int>(tolven::DateFilter::Any));
    rebuildCatalogue();
}

void TMainForm::KekkaGetBtnClick() {
    if (!loaded_ || day_.race_count <= 0) return;
    QAction* button = action(QStringLiteral("KekkaGetBtn"));
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

void TMainForm::showEvent(QShowEvent* event) {
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
        TMsgDlg::information(this, qs(tolven::jvlink_version_message(version)));
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    const QString locate = QStringLiteral("locate");
    ini_.WriteInteger(locate, QStringLiteral("top"), y());
    ini_.WriteInteger(locate, QStringLiteral("left"), x());
    ini_.WriteInteger(locate, QStringLiteral("width"), width());
    ini_.WriteInteger(locate, QStringLiteral("height"), height());
    ini_.WriteInteger(QStringLiteral("SelPlace"), QStringLiteral("hiduke"), dateIndex());
    ini_.WriteInteger(QStringLiteral("SelPlace"), QStringLiteral("basho"), courseIndex());
    if (loaded_ && day_.user_changed) {
        tolven::guarded(this, QStringLiteral("予想を保存できませんでした。"),
                        [this] { tolven::save_user_file(day_, currentPredictionRace()); });
    }
    // The preview is a window of its own; it goes with the program (and
    // keeps its bounds), or the program would not end.
    if (allPrint_->isVisible()) allPrint_->close();
    event->accept();
}
