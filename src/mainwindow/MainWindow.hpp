#pragma once

#include <QMainWindow>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "jvlink/JvLink.hpp"
#include "jvlink/import.hpp"
#include "model/race_day.hpp"
#include "money/balance.hpp"
#include "money/fund_allocation.hpp"
#include "pipeline/day_loader.hpp"
#include "store/catalogue.hpp"
#include "widgets/IniSettings.hpp"

class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMdiArea;
class QMdiSubWindow;
class QPlainTextEdit;
class QCheckBox;
class QWidget;
class ActionTable;
class CataloguePanel;
class DayHeader;
class ResultsRecordView;
class ViewManager;
class LoadProgressDialog;
class CalculationTableView;
class RaceCardView;
class TimeGraphView;
class PredictionView;
class BalanceWindow;
class FundAllocationView;
class PreviewWindow;
class HelpWindow;
class QLabel;

// The frame of the program: a multiple-document window with the day banner
// and ticker, the race-day catalogue on the left (CataloguePanel), the
// toolbar and menus (ActionTable), and the views that show the loaded day
// (ViewManager). It owns the race day and the JV-Link component and wires
// its parts together.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    MainWindow(std::filesystem::path base, std::unique_ptr<tolven::JvLink> link,
              QWidget* parent = nullptr);
    ~MainWindow() override;

    // The local date the catalogue uses (tests fix it).
    void setClock(std::function<tolven::DateTime()> now);

    tolven::RaceDay& day() { return day_; }
    tolven::FundAllocation& allocation() { return money_; }
    tolven::JvLink& link() { return *link_; }
    const std::filesystem::path& base() const { return base_; }
    IniSettings& ini() { return ini_; }

    // The catalogue.
    int courseIndex() const;
    int dateIndex() const;
    void setCourseIndex(int index);
    void setDateIndex(int index);
    void rebuildCatalogue();
    QListWidget* dayList() const;
    QString bannerText() const;
    QString tickerText() const;

    // Loads the day of a list entry as a click on it does; false when it
    // could not be loaded (the reason was shown).
    bool loadDay(const QString& entry);
    bool dayLoaded() const { return loaded_; }
    bool dayComplete() const { return complete_; }

    QAction* action(const QString& objectName) const;
    QMdiArea* mdiArea() const;
    QPlainTextEdit* resultsText() const;
    PredictionView* predictionView() const { return predictionView_; }
    CalculationTableView* calculationView() const { return calculationView_; }
    TimeGraphView* timeGraphView() const { return timeGraphView_; }
    RaceCardView* raceCardView() const { return raceCardView_; }
    FundAllocationView* allocationView() const { return allocationView_; }
    QCheckBox* hitsOnlyBox() const;
    // The hit check and export of the prediction window's buttons.
    void exportHits(bool longshot);
    PreviewWindow* printPreview() const { return allPrint_.get(); }
    // Draws a printout into the preview and shows it: item 0 the bet list,
    // item k the analysis sheet of race k, -1 the fund allocation table.
    void printItem(int item);
    // Draws the balance report into the preview and shows it.
    void printBalance(const tolven::BalanceReport& report);
    HelpWindow* helpWindow() const { return help_.get(); }
    BalanceWindow* balanceWindow() const { return balanceWindow_; }
    // Where 目次 looks for the user guide (tests); by default the base
    // folder, the program's folder, the installed data folder and the
    // source tree.
    void setHelpPlaces(std::vector<std::filesystem::path> places);

  signals:
    // A day was loaded (and its fund allocation recomputed): every window
    // that shows the day shows this one.
    void newDay(const tolven::RaceDay& day);

  public slots:
    void openDownloadWindow();
    void fetchResults();
    void dayListClicked(QListWidgetItem* item);
    void showResultsRecord();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    friend class ActionTable;
    // What the actions do.
    void showPrediction();
    void showContents();
    void showGraph();
    void showCalc();
    void showAllocation();
    void showBalance();
    void printChosen();
    void quitProgram();
    void toggleCataloguePanel();
    void openDataFolder();
    void toggleTicker();
    void showToolBarState();
    void cascadeViews();
    void minimiseViews();
    void showAbout();
    void createChildren();
    void restoreSettings();
    // After a load that failed: no day is offered.
    void showNoDay();
    void tileViews();
    void arrangeIcons();
    void openHelp();
    void showChild(QMdiSubWindow* child);
    // The status bar's mark of a user prediction or stakes whose save failed.
    void setUnsaved(bool unsaved);

    std::filesystem::path base_;
    std::unique_ptr<tolven::JvLink> link_;
    tolven::CancelFlag cancel_;
    IniSettings ini_;
    std::function<tolven::DateTime()> now_;
    std::unique_ptr<HelpWindow> help_;
    QLabel* unsaved_ = nullptr;
    tolven::RaceDay day_;
    tolven::FundAllocation money_;
    bool loaded_ = false;
    bool complete_ = false;
    bool shownOnce_ = false;
    bool loading_ = false;
    std::vector<std::filesystem::path> helpPlaces_;

    DayHeader* header_ = nullptr;
    CataloguePanel* catalogue_ = nullptr;
    ViewManager* views_ = nullptr;
    std::unique_ptr<ActionTable> actions_;
    LoadProgressDialog* progress_ = nullptr;

    QMdiSubWindow* predictionWindow_ = nullptr;
    QMdiSubWindow* contentsWindow_ = nullptr;
    QMdiSubWindow* graphWindow_ = nullptr;
    QMdiSubWindow* calcWindow_ = nullptr;
    QMdiSubWindow* allocationWindow_ = nullptr;
    QMdiSubWindow* resultsWindow_ = nullptr;
    ResultsRecordView* resultsView_ = nullptr;
    PredictionView* predictionView_ = nullptr;
    CalculationTableView* calculationView_ = nullptr;
    TimeGraphView* timeGraphView_ = nullptr;
    RaceCardView* raceCardView_ = nullptr;
    FundAllocationView* allocationView_ = nullptr;
    BalanceWindow* balanceWindow_ = nullptr;
    QMdiSubWindow* balanceSubWindow_ = nullptr;
    // A window of its own, not a child of this one, so that the modal print
    // dialog does not block it.
    std::unique_ptr<PreviewWindow> allPrint_;
    int currentPredictionRace() const;
    // Saves the loaded day's unsaved user input; false, with the failure
    // told under `failed`, when it could not be.
    bool saveUserInput(const QString& failed);
};
