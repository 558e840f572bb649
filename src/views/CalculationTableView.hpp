#pragma once

#include <array>

#include "views/RaceView.hpp"

class QTabWidget;

// The calculation table "計算表": per runner the indexes of the last five
// runs, their average, its rank and, for running time, the trend.
class CalculationTableView : public RaceView {
    Q_OBJECT

  public:
    CalculationTableView(const tolven::RaceDay& day, QWidget* parent = nullptr);
    QTableWidget* timeGrid() const { return timeGrid_; }
    QTableWidget* f3Grid() const { return f3Grid_; }
    QTabWidget* pages() const { return pages_; }

  protected:
    void showRace(int n) override;

  private:
    // Fills a page for the race shown; the page not on top waits until it
    // is turned to.
    void showPage(int page);

    QTabWidget* pages_;
    QTableWidget* timeGrid_;
    QTableWidget* f3Grid_;
    int race_ = -1;
    std::array<bool, 2> pageStale_{true, true};
};
