#pragma once

#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>

#include "money/balance.hpp"

class QCheckBox;
class QChartView;
class QDateEdit;
class QLabel;
class QLineSeries;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QTableWidget;

// The balance window "収支分析": what the computer's or the user's bets would
// have won or lost over a period. The figures come from the backtest of the
// store; the window lays them out as tables of every group and a cumulative
// balance curve, and saves or prints them.
class BalanceWindow : public QWidget {
    Q_OBJECT

  public:
    explicit BalanceWindow(std::filesystem::path base, QWidget* parent = nullptr);

    // The period pickers on the twelve months up to the newest race day.
    void resetPeriod();

    QDateEdit* fromEdit() const { return from_; }
    QDateEdit* toEdit() const { return to_; }
    QRadioButton* computerButton() const { return computer_; }
    QRadioButton* userButton() const { return user_; }
    QCheckBox* wideBox() const { return wide_; }
    QPushButton* runButton() const { return run_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* csvButton() const { return csv_; }
    QPushButton* printButton() const { return print_; }
    QTabWidget* pages() const { return pages_; }
    // The table of page i: total, kinds, patterns, grades, courses, months,
    // days.
    QTableWidget* table(int page) const;
    QChartView* chartView() const { return chart_; }
    // Shown instead of the chart for a period without race days.
    QLabel* noDataLabel() const { return noData_; }
    QLineSeries* balanceSeries() const { return series_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* summary() const { return summary_; }
    const tolven::BalanceReport& report() const { return report_; }

    // Draws the report into the print preview (the main window provides it).
    std::function<void(const tolven::BalanceReport&)> onPrint;
    // Shows an error of the core (the main window's message dialog).
    std::function<void(const QString&)> onError;

    // The file the next CSV save writes to without asking (tests).
    static void setNextFileName(const QString& name);

  public slots:
    void run();
    void saveCsv();

  private:
    tolven::BalanceOptions options() const;
    void showReport();
    void fillTables();
    void fillChart();
    void setRunning(bool running);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::filesystem::path base_;
    tolven::BalanceReport report_;
    bool running_ = false;
    bool cancelled_ = false;

    QDateEdit* from_;
    QDateEdit* to_;
    QRadioButton* computer_;
    QRadioButton* user_;
    QCheckBox* wide_;
    QPushButton* run_;
    QPushButton* cancel_;
    QPushButton* csv_;
    QPushButton* print_;
    QProgressBar* progress_;
    QLabel* summary_;
    QTabWidget* pages_;
    QChartView* chart_;
    QLineSeries* series_ = nullptr;
    QStackedWidget* chartPlace_;
    QLabel* noData_;
    int chartWidth_ = 0;
    // True while fillChart builds the chart.
    bool fillingChart_ = false;
};
