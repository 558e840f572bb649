#pragma once

#include <QWidget>

#include "model/race_day.hpp"

class QCheckBox;
class QPlainTextEdit;

// 実績表: the loaded day's hits and payouts race by race, all of them or
// only the hit tickets (the 的中馬券 box), in green on black.
class ResultsRecordView : public QWidget {
    Q_OBJECT

  public:
    explicit ResultsRecordView(const tolven::RaceDay& day, QWidget* parent = nullptr);

    QPlainTextEdit* text() const { return text_; }
    QCheckBox* hitsOnlyBox() const { return hitsOnly_; }
    // Writes the record of the day again; empty while no day is loaded.
    void refresh(bool dayLoaded);

  private:
    const tolven::RaceDay& day_;
    bool loaded_ = false;
    QCheckBox* hitsOnly_;
    QPlainTextEdit* text_;
};
