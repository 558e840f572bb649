#pragma once

#include <QDialog>

#include <array>

#include "money/fund_allocation.hpp"

class TSaNumEdit;

// The investment dialog "投資金額入力": one amount per race. The fund
// allocation arms the fields of graded races; OK runs the stake split.
class TtoushiForm : public QDialog {
    Q_OBJECT

  public:
    TtoushiForm(tolven::FundAllocation& money, tolven::RaceDay& day, QWidget* parent = nullptr);

    // Shows the fields as the fund allocation left them (armed, texts).
    void loadFields();
    // Opens the dialog modally. The fields show what the last recomputation
    // armed them with, or what was typed since, even if that was cancelled.
    int ShowModal();
    TSaNumEdit* field(int race) const { return fields_[static_cast<std::size_t>(race - 1)]; }

  signals:
    void split();

  public slots:
    void BitBtn1Click();

  private:
    tolven::FundAllocation& money_;
    tolven::RaceDay& day_;
    std::array<TSaNumEdit*, tolven::kMaxRaces> fields_{};
    int loaded_ = -1;
};
