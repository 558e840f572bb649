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
#include "widgets/TIniGT.hpp"

class QAction;
class QButtonGroup;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMdiArea;
class QMdiSubWindow;
class QPlainTextEdit;
class QCheckBox;
class QRadioButton;
class QToolBar;
class QWidget;
class TickerWidget;
class TProgressForm;
class TCalForm;
class TContentsForm;
class TGraphForm;
class TYosoForm;
class TBalanceForm;
class TshikinForm;
class TAllPrintForm;

// The frame of the program: a multiple-document window with the day banner
// and ticker, the race-day catalogue on the left, the toolbar and menus, and
// the child windows that show the loaded day. It owns the race day and the
// JV-Link component.
class TMainForm : public QMainWindow {
    Q_OBJECT

  public:
    TMainForm(std::filesystem::path base, std::unique_ptr<tolven::JvLink> link,
              QWidget* parent = nullptr);
    ~TMainForm() override;

    // The local date the catalogue uses (tests fix it).
    void setClock(std::function<tolven::DateTime()> now);

    tolven::RaceDay& day() { return day_; }
    tolven::FundAllocation& allocation() { return money_; }
    tolven::JvLink& link() { return *link_; }
    const std::filesystem::path& base() const { return base_; }
    TIniGT& ini() { return ini_; }

    // The catalogue.
    int courseIndex() const;
    int dateIndex() const;
    void setCourseIndex(int index);
    void setDateIndex(int index);
    void rebuildCatalogue();
    QListWidget* dayList() const { return DatListBox_; }
    QString bannerText() const;
    QString tickerText() const;

    // Loads the day of a list entry as a click on it does; false when it
    // could not be loaded (the reason was shown).
    bool loadDay(const QString& entry);
    bool dayLoaded() const { return loaded_; }
    bool dayComplete() const { return complete_; }

    QAction* action(const QString& objectName) const;
    QMdiArea* mdiArea() const { return mdi_; }
    QPlainTextEdit* resultsText() const { return resultsText_; }
    TYosoForm* predictionForm() const { return yoso_; }
    TCalForm* calcForm() const { return cal_; }
    TGraphForm* graphForm() const { return graph_; }
    TContentsForm* contentsForm() const { return contents_; }
    TshikinForm* allocationForm() const { return shikin_; }
    QCheckBox* hitsOnlyBox() const { return hitsOnly_; }
    // The hit check and export of the prediction window's buttons.
    void exportHits(bool longshot);
    TAllPrintForm* printPreview() const { return allPrint_.get(); }
    // Draws a printout into the preview and shows it: item 0 the bet list,
    // item k the analysis sheet of race k, -1 the fund allocation table.
    void printItem(int item);
    // Draws the balance report into the preview and shows it.
    void printBalance(const tolven::BalanceReport& report);
    TBalanceForm* balanceForm() const { return balance_; }
    // Where 目次 looks for the user guide (tests); by default the base
    // folder, the program's folder, the installed data folder and the
    // source tree.
    void setHelpPlaces(std::vector<std::filesystem::path> places);

  public slots:
    void JVDataGetClick();
    void KekkaGetBtnClick();
    void DatListBoxClick(QListWidgetItem* item);
    void ShowResultsRecord();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createActions();
    void createCatalogue(QWidget* panel);
    void createChildren();
    void restoreSettings();
    void updateWindowMenu();
    void setDayButtonsEnabled(bool on);
    void setPrintEnabled(bool on);
    // After a load that failed: no day is offered.
    void showNoDay();
    void DatListBoxSelectionChanged();
    void tileViews();
    void arrangeIcons();
    void openHelp();
    void rebuildResultsRecord();
    QMdiSubWindow* addChild(const QString& title, QWidget* content);
    void showChild(QMdiSubWindow* child);

    std::filesystem::path base_;
    std::unique_ptr<tolven::JvLink> link_;
    tolven::CancelFlag cancel_;
    TIniGT ini_;
    std::function<tolven::DateTime()> now_;
    tolven::RaceDay day_;
    tolven::FundAllocation money_;
    bool loaded_ = false;
    bool complete_ = false;
    bool shownOnce_ = false;
    bool loading_ = false;
    // Selections the program makes itself (a rebuild, the hit export walking
    // the days) do not load anything.
    bool quietList_ = false;
    // What was under the pointer when a button of the list went down: a click
    // on the entry already chosen loads it again, and a click on the
    // racecourse or date button already down rebuilds the list.
    QListWidgetItem* chosenAtPress_ = nullptr;
    bool downAtPress_ = false;
    std::vector<std::filesystem::path> helpPlaces_;

    QMdiArea* mdi_ = nullptr;
    QLabel* banner_ = nullptr;
    TickerWidget* ticker_ = nullptr;
    QWidget* tickerPanel_ = nullptr;
    QWidget* cataloguePanel_ = nullptr;
    QButtonGroup* courseButtons_ = nullptr;
    QButtonGroup* dateButtons_ = nullptr;
    QListWidget* DatListBox_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    TProgressForm* progress_ = nullptr;

    QMdiSubWindow* predictionWindow_ = nullptr;
    QMdiSubWindow* contentsWindow_ = nullptr;
    QMdiSubWindow* graphWindow_ = nullptr;
    QMdiSubWindow* calcWindow_ = nullptr;
    QMdiSubWindow* allocationWindow_ = nullptr;
    QMdiSubWindow* resultsWindow_ = nullptr;
    QPlainTextEdit* resultsText_ = nullptr;
    QCheckBox* hitsOnly_ = nullptr;
    TYosoForm* yoso_ = nullptr;
    TCalForm* cal_ = nullptr;
    TGraphForm* graph_ = nullptr;
    TContentsForm* contents_ = nullptr;
    TshikinForm* shikin_ = nullptr;
    TBalanceForm* balance_ = nullptr;
    QMdiSubWindow* balanceWindow_ = nullptr;
    // A window of its own, not a child of this one, so that the modal print
    // dialog does not block it.
    std::unique_ptr<TAllPrintForm> allPrint_;
    void refreshViews();
    int currentPredictionRace() const;
};
