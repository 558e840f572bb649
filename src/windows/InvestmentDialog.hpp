#pragma once

#include <QDialog>

#include <array>

#include "money/fund_allocation.hpp"

class NumberEdit;

// The investment dialog "投資金額入力": one amount per race. The fund
// allocation arms the fields of graded races; OK takes the amounts and asks
// for the stake split (investmentsEntered).
class InvestmentDialog : public QDialog {
    Q_OBJECT

  public:
    explicit InvestmentDialog(tolven::FundAllocation& money, QWidget* parent = nullptr);

    // Shows the fields as the fund allocation left them (armed, texts).
    void loadFields();
    // Opens the dialog modally. The fields show what the last recomputation
    // armed them with, or what was typed since, even if that was cancelled.
    int showCentred();
    // The width a window manager's title bar needs to show `title` whole.
    static int titleBarWidthNeeded(const QString& title);
    NumberEdit* field(int race) const { return fields_[static_cast<std::size_t>(race - 1)]; }

  signals:
    // OK: the amounts are in the fund allocation's fields; the stakes are to
    // be split.
    void investmentsEntered();

  public slots:
    void applyAmounts();

  private:
    tolven::FundAllocation& money_;
    std::array<NumberEdit*, tolven::kMaxRaces> fields_{};
    int loaded_ = -1;
};
