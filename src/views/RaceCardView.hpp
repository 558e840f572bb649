#pragma once

#include "views/RaceView.hpp"

// The race contents window "ﾚｰｽ内容表示": the race card of the selected race.
class RaceCardView : public RaceView {
    Q_OBJECT

  public:
    RaceCardView(const tolven::RaceDay& day, QWidget* parent = nullptr);
    QTableWidget* grid() const { return grid_; }
    // The fill right after a day is loaded: race 1 with the header and card
    // texts of the main window (title "%2sR" + name, age from the years),
    // until another race is chosen.
    void showFirstRaceAfterLoad();

  protected:
    void showRace(int n) override;
    void raceSelected(int n) override;

  private:
    void paint(int n);
    QTableWidget* grid_;
    bool afterLoad_ = false;
};
