#pragma once

#include <QWidget>

#include <functional>

#include "money/fund_allocation.hpp"

class QLabel;
class QTableWidget;
class InvestmentDialog;

// The fund allocation window "資金配分": the grade, bets, investment and
// stakes of every race, with the day's totals.
class FundAllocationView : public QWidget {
    Q_OBJECT

  public:
    FundAllocationView(tolven::FundAllocation& money, const tolven::RaceDay& day,
                QWidget* parent = nullptr);

    // Shows the table as the fund allocation holds it.
    void refresh();
    QTableWidget* grid() const { return grid_; }
    QLabel* totalBets() const { return totalBets_; }
    QLabel* totalStake() const { return totalStake_; }
    InvestmentDialog* investmentDialog() const { return investmentDialog_; }
    // Draws the table into the print preview (the main window provides it).
    std::function<void()> onPrint;
    // Splits the stakes after the investment dialog's OK. The main window
    // runs it: the split marks the day's user file to be saved.
    std::function<void()> onSplit;

  private:
    tolven::FundAllocation& money_;
    const tolven::RaceDay& day_;
    QTableWidget* grid_;
    QLabel* totalBets_;
    QLabel* totalStake_;
    InvestmentDialog* investmentDialog_;
};
