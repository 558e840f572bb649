#include "mainwindow/MainWindow.hpp"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "jvlink/open_wait.hpp"
#include "jvlink/result_text.hpp"
#include "jvlink/results_refresh.hpp"
#include "layouts/balance_layout.hpp"
#include "layouts/print_layouts.hpp"
#include "mainwindow/ActionTable.hpp"
#include "mainwindow/CataloguePanel.hpp"
#include "mainwindow/AboutBox.hpp"
#include "mainwindow/LoadProgressDialog.hpp"
#include "mainwindow/ResultsRecordView.hpp"
#include "mainwindow/DayHeader.hpp"
#include "mainwindow/ViewManager.hpp"
#include "pipeline/day_files.hpp"
#include "pipeline/hit_export.hpp"
#include "prediction/user_prediction.hpp"
#include "printing/PreviewWindow.hpp"
#include "printing/PrintDialog.hpp"
#include "printing/PrintPreview.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/help_guide.hpp"
#include "views/CalculationTableView.hpp"
#include "views/RaceCardView.hpp"
#include "views/TimeGraphView.hpp"
#include "views/PredictionView.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/application_setup.hpp"
#include "widgets/error_boundary.hpp"
#include "widgets/qt_text.hpp"
#include "windows/BalanceWindow.hpp"
#include "windows/DownloadWindow.hpp"
#include "windows/FundAllocationView.hpp"
#include "windows/HelpWindow.hpp"

namespace fs = std::filesystem;
using tolven::cp;
using tolven::qs;

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
    header_ = new DayHeader(base_, central);
    outer->addWidget(header_);

    auto* splitter = new QSplitter(Qt::Horizontal, central);
    catalogue_ = new CataloguePanel(base_ / "Data", splitter);
    catalogue_->setClock(now_);
    views_ = new ViewManager(splitter);
    const QIcon icon = tolven::program_icon();
    views_->setIcon(icon);
    splitter->addWidget(catalogue_);
    splitter->addWidget(views_->area());
    splitter->setStretchFactor(1, 1);
    outer->addWidget(splitter, 1);
    setCentralWidget(central);
    setWindowIcon(icon);

    actions_ = std::make_unique<ActionTable>(*this);
    statusBar()->showMessage(QString());
    unsaved_ = new QLabel(QStringLiteral("予想・投資金額は保存されていません"), this);
    unsaved_->setObjectName(QStringLiteral("UnsavedMark"));
    unsaved_->setStyleSheet(QStringLiteral("QLabel { color: #C00000; font-weight: bold; }"));
    statusBar()->addPermanentWidget(unsaved_);
    unsaved_->hide();

    restoreSettings();
    tolven::DataStore(base_).create_folders();
    createChildren();
    progress_ = new LoadProgressDialog(this);
    views_->onShownChanged = [this](bool any) { actions_->setWindowCommandsEnabled(any); };
    connect(catalogue_, &CataloguePanel::dayChosen, this, [this](const QString& entry) { loadDay(entry); });
    rebuildCatalogue();
    actions_->setWindowCommandsEnabled(false);
}

MainWindow::~MainWindow() {
    // The views go after this object is no longer a MainWindow: their last
    // hide events must not reach it.
    views_->onShownChanged = nullptr;
}

void MainWindow::setClock(std::function<tolven::DateTime()> now) {
    now_ = std::move(now);
    catalogue_->setClock(now_);
}

QAction* MainWindow::action(const QString& objectName) const {
    return actions_->action(objectName);
}

QPlainTextEdit* MainWindow::resultsText() const {
    return resultsView_->text();
}

QCheckBox* MainWindow::hitsOnlyBox() const {
    return resultsView_->hitsOnlyBox();
}

QListWidget* MainWindow::dayList() const {
    return catalogue_->dayList();
}

QMdiArea* MainWindow::mdiArea() const {
    return views_->area();
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
    bool show = !catalogue_->isVisible();
    if (show) rebuildCatalogue();
    catalogue_->setVisible(show);
}

void MainWindow::openDataFolder() {
    QString folder = tolven::qpath(base_ / "Data");
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
        MessageDialog::information(
            this, QStringLiteral("データフォルダを開けませんでした。ファイルマネージャーで次のフォルダを開いてください:\n") +
                      folder);
    }
}

void MainWindow::toggleTicker() {
    bool hidden = action(QStringLiteral("TickerAction"))->isChecked();
    header_->setTickerShown(!hidden);
    tolven::guarded(this, QStringLiteral("設定を保存できませんでした。"), [&] {
        ini_.writeText(tolven::settings::ticker,
                       hidden ? QStringLiteral("Off") : QStringLiteral("On"));
    });
}

void MainWindow::showToolBarState() {
    // The toolbar entry only shows the setting.
    action(QStringLiteral("ToolBarAction"))->setChecked(actions_->toolBar()->isVisible());
}

void MainWindow::cascadeViews() {
    views_->cascade();
}

void MainWindow::minimiseViews() {
    views_->minimiseAll();
}

void MainWindow::tileViews() {
    // Every view of the loaded day that the toolbar offers, and whatever
    // else is showing.
    QList<QMdiSubWindow*> dayViews;
    if (loaded_) {
        const std::pair<const char*, QMdiSubWindow*> offered[] = {
            {"RaceCardButton", contentsWindow_},  {"GraphButton", graphWindow_},
            {"CalculationButton", calcWindow_},   {"AllocationButton", allocationWindow_},
            {"PredictionButton", predictionWindow_}};
        for (const auto& [name, view] : offered) {
            if (action(QString::fromLatin1(name))->isEnabled()) dayViews << view;
        }
        dayViews << resultsWindow_;
    }
    views_->tile(dayViews);
}

void MainWindow::arrangeIcons() {
    views_->arrangeIcons();
}

void MainWindow::showAbout() {
    AboutBox box(this);
    box.exec();
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
        // Titled with the loaded day: the list may show another one.
        tolven::draw_allocation(day_, money_, day_.entry, preview->canvas());
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
    for (const fs::path& p : places) text += QLatin1Char('\n') + tolven::qpath(p);
    MessageDialog::information(this, text);
}

void MainWindow::createChildren() {
    // The views of the loaded day, in the order the program creates them.
    allPrint_ = std::make_unique<PreviewWindow>(ini_);
    raceCardView_ = new RaceCardView(day_);
    contentsWindow_ = views_->add(QStringLiteral("ﾚｰｽ内容表示"), raceCardView_);
    timeGraphView_ = new TimeGraphView(day_);
    // The bars and their labels need room; a smaller tile scrolls.
    graphWindow_ = views_->add(QStringLiteral("タイムグラフ"), timeGraphView_, QSize(620, 440));

    resultsView_ = new ResultsRecordView(day_);
    resultsWindow_ = views_->add(QStringLiteral("実績表"), resultsView_);

    calculationView_ = new CalculationTableView(day_);
    calcWindow_ = views_->add(QStringLiteral("計算表"), calculationView_);
    allocationView_ = new FundAllocationView(money_, day_);
    allocationView_->onPrint = [this] { printItem(-1); };
    allocationView_->onSplit = [this] { money_.split(day_); };
    allocationWindow_ = views_->add(QStringLiteral("資金配分"), allocationView_);
    predictionView_ = new PredictionView(day_);
    predictionView_->onHitExport = [this](bool longshot) { exportHits(longshot); };
    predictionView_->onToggleCheckItem = [this](int n, int row, int column) {
        // The mark follows whether the day still holds input that is not
        // saved: a save refused because another program changed the race
        // takes the stored prediction, and nothing is left unsaved.
        try {
            tolven::toggle_check_item(day_, n, row, column);
            setUnsaved(false);
        } catch (...) {
            setUnsaved(day_.user_changed);
            throw;
        }
    };
    predictionWindow_ = views_->add(QStringLiteral("予想表"), predictionView_);
    balanceWindow_ = new BalanceWindow(base_);
    balanceWindow_->onPrint = [this](const tolven::BalanceReport& report) { printBalance(report); };
    balanceWindow_->onError = [this](const QString& text) { MessageDialog::information(this, text); };
    balanceSubWindow_ = views_->add(QStringLiteral("収支分析"), balanceWindow_);

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
    if (!loaded_) return;
    // The export reads the days from their files: unsaved ticks of the day
    // shown are saved first, and when they cannot be, nothing is exported
    // (the export would miss them) and the day stays as it is.
    if (!saveUserInput(QStringLiteral("予想を保存できませんでした。的中馬券は書き出していません。"))) {
        return;
    }
    std::vector<std::string> entries;
    for (const QString& entry : catalogue_->entries()) entries.push_back(cp(entry));
    // The loaded day is exported even when the list no longer shows it.
    if (std::find(entries.begin(), entries.end(), day_.entry) == entries.end()) {
        entries.push_back(day_.entry);
    }
    tolven::HitExport result;
    bool exported = tolven::guarded(this, QStringLiteral("的中馬券を書き出せませんでした。"), [&] {
        // Each day of the date is read into a day of the export's own: the
        // day shown, its views and the list stay as they are.
        auto walked = std::make_unique<tolven::RaceDay>();
        result = tolven::export_hits(*walked, base_, entries, day_.entry, longshot, {});
    });
    if (!exported) return;
    if (!result.written) {
        MessageDialog::information(
            this, QStringLiteral("的中馬券はありませんでした。ファイルは書き出していません。"));
        return;
    }
    QStringList lines;
    for (const auto& line : result.html) lines << qs(line);
    QApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")));
    QString tk = tolven::qpath(result.tk_file);
    QString text = QStringLiteral("的中馬券 %1 件を書き出しました。\n%2\n%3\n"
                                  "ホームページ用の一覧をクリップボードにコピーしました。")
                       .arg(result.hits)
                       .arg(tk, tolven::qpath(result.cumulative_file));
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(tk))) {
        text += QStringLiteral("\n%1 を開けませんでした。テキストエディタで開いてください。").arg(tk);
    }
    MessageDialog::information(this, text);
}

void MainWindow::showChild(QMdiSubWindow* child) {
    views_->show(child);
}

void MainWindow::showResultsRecord() {
    showChild(resultsWindow_);
}

void MainWindow::restoreSettings() {
    namespace settings = tolven::settings;
    move(ini_.read(settings::main_left), ini_.read(settings::main_top));
    resize(ini_.read(settings::main_width), ini_.read(settings::main_height));
    tolven::fit_on_screen(*this);

    bool tickerOn = ini_.readText(settings::ticker) != QLatin1String("Off");
    header_->setTickerShown(tickerOn);
    action(QStringLiteral("TickerAction"))->setChecked(!tickerOn);
    QString toolbar = ini_.readText(settings::toolbar);
    // "no" hides the toolbar; anything else leaves it shown.
    bool toolbarShown = toolbar != QLatin1String("no");
    actions_->toolBar()->setVisible(toolbarShown);
    action(QStringLiteral("ToolBarAction"))->setChecked(toolbarShown);

    // Values outside the ranges the program writes fall back to the defaults.
    setCourseIndex(ini_.read(settings::course_index));
    setDateIndex(ini_.read(settings::date_index));
}

int MainWindow::courseIndex() const {
    return catalogue_->courseIndex();
}
int MainWindow::dateIndex() const {
    return catalogue_->dateIndex();
}
void MainWindow::setCourseIndex(int index) {
    catalogue_->setCourseIndex(index);
}
void MainWindow::setDateIndex(int index) {
    catalogue_->setDateIndex(index);
}

void MainWindow::rebuildCatalogue() {
    catalogue_->rebuild();
}

void MainWindow::setUnsaved(bool unsaved) {
    unsaved_->setVisible(unsaved);
}

QString MainWindow::bannerText() const {
    return header_->bannerText();
}
QString MainWindow::tickerText() const {
    return header_->tickerText();
}

void MainWindow::showNoDay() {
    // The model may hold parts of two days now: nothing of it is offered
    // until a day loads.
    loaded_ = false;
    complete_ = false;
    header_->setBannerText(QString());
    actions_->setDayViewsEnabled(false);
    actions_->setPrintEnabled(false);
    for (QMdiSubWindow* w :
         {predictionWindow_, contentsWindow_, graphWindow_, calcWindow_, allocationWindow_}) {
        views_->hide(w);
    }
    // Nor does any view keep a race of it: they are emptied, so that no
    // way of showing one again brings back the previous day.
    day_ = tolven::RaceDay();
    money_.recompute(day_);
    emit newDay(day_);
    resultsView_->refresh(loaded_);
    setUnsaved(false);
}

bool MainWindow::saveUserInput(const QString& failed) {
    if (!loaded_ || !day_.user_changed) return true;
    // A save refused because another program changed the race leaves
    // nothing unsaved: the day has taken the stored prediction.
    return tolven::guarded(
        this, failed, [this] { tolven::save_user_file(day_, currentPredictionRace()); },
        [this] { setUnsaved(day_.user_changed); });
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
    if (!saveUserInput(QStringLiteral("予想を保存できませんでした。"))) {
        // The list goes back to the day that stays.
        catalogue_->follow(qs(day_.entry));
        return false;
    }
    // Nothing of the previous day is printed or predicted while this one
    // loads; the panels come back only for a complete day. They go once the
    // progress window has been drawn: the repaint it lets run would otherwise
    // draw the views behind them, for nothing.
    auto hidePanels = [this] {
        views_->hide(predictionWindow_);
        views_->hide(contentsWindow_);
    };
    tolven::LoadProgress progress{
        [this, &hidePanels](const std::string& caption, int maximum) {
            progress_->start(qs(caption), maximum);
            hidePanels();
        },
        [this](int position) { progress_->setPosition(position); },
        [this] { progress_->finish(); }};
    actions_->setPrintEnabled(false);
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
            header_->setBannerText(qs(outcome.banner));
            actions_->setDayViewsEnabled(true);
            money_.recompute(day_);
            emit newDay(day_);
            resultsView_->refresh(loaded_);
        },
        [this] {
            progress_->finish();
            showNoDay();
        });
    // A day refused before its progress window opened.
    hidePanels();
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
    // The list shows the loaded day, also after a click on another one
    // while this one loaded.
    catalogue_->follow(entry);
    complete_ = outcome.complete;
    if (complete_) {
        actions_->setPrintEnabled(true);
        showChild(predictionWindow_);
    } else {
        // The figures exist, but the prediction and the race card of a day
        // with a runner lacking its bracket are not offered.
        action(QStringLiteral("PredictionButton"))->setEnabled(false);
        action(QStringLiteral("RaceCardButton"))->setEnabled(false);
        MessageDialog::information(this, qs(tolven::incomplete_day_message()));
    }
    return true;
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
                             [this, entry] { loadDay(entry); },
                             [this](int seconds) {
                                 // JV-Link may be waiting for an answer in a
                                 // window of its own.
                                 statusBar()->showMessage(
                                     seconds > 0 ? qs(tolven::open_wait_notice(seconds)) : QString());
                             }};
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
    if (!isMaximized() && !isFullScreen()) tolven::fit_on_screen(*this);
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
    // A maximised window keeps the place and size it is restored to: those
    // of the whole screen would put its frame beyond the screen next time.
    QRect bounds(pos(), size());
    if (isMaximized() || isFullScreen()) {
        bounds = normalGeometry();
        bounds.moveTopLeft(bounds.topLeft() - (geometry().topLeft() - frameGeometry().topLeft()));
    }
    // The user's changes first: when they cannot be saved, the user decides
    // whether to end without them.
    if (loaded_ && day_.user_changed) {
        try {
            tolven::save_user_file(day_, currentPredictionRace());
        } catch (const std::exception& e) {
            setUnsaved(day_.user_changed);
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
        ini_.write(settings::main_top, bounds.y());
        ini_.write(settings::main_left, bounds.x());
        ini_.write(settings::main_width, bounds.width());
        ini_.write(settings::main_height, bounds.height());
        ini_.write(settings::date_index, dateIndex());
        ini_.write(settings::course_index, courseIndex());
    });
    // The preview is a window of its own; it goes with the program (and
    // keeps its bounds), or the program would not end.
    if (allPrint_->isVisible()) allPrint_->close();
    event->accept();
}
