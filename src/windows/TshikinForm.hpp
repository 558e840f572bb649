#pragma once

#include <QWidget>

#include <functional>

#include "money/fund_allocation.hpp"

class QLabel;
class QTableWidget;
class TtoushiForm;

// The fund allocation window "資金配分": the grade, bets, investment and
// stakes of every race, with the day's totals.
class TshikinForm : public QWidget {
    Q_OBJECT

  public:
    TshikinForm(tolven::FundAllocation& money, tolven::RaceDay& day, QWidget* parent = nullptr);

    // Shows the table as the fund allocation holds it.
    void refresh();
    QTableWidget* grid() const { return grid_; }
    QLabel* totalBets() const { return staticText1_; }
    QLabel* totalStake() const { return staticText2_; }
    TtoushiForm* investmentDialog() const { return toushi_; }
    // Draws the table into the print preview (the main window provides it).
    std::function<void()> onPrint;

  private:
    tolven::FundAllocation& money_;
    tolven::RaceDay& day_;
    QTableWidget* grid_;
    QLabel* staticText1_;
    QLabel* staticText2_;
    TtoushiForm* toushi_;
};
