#pragma once

#include "views/TRaceForm.hpp"
#include "views/view_tables.hpp"

class QCheckBox;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QTabWidget;

// The time graphs "タイムグラフ": the runners by composite ability, the
// composite ability by horse number, one horse's last five runs, and all
// horses' figures for a chosen past run.
class TGraphForm : public TRaceForm {
    Q_OBJECT

  public:
    TGraphForm(tolven::RaceDay& day, QWidget* parent = nullptr);

    QChart* chart(int page) const;
    QComboBox* horseSelector() const { return horse_; }
    QComboBox* runSelector() const { return run_; }
    QCheckBox* axisFixed() const { return axisFixed_; }
    QTabWidget* pages() const { return pages_; }

  protected:
    void showRace(int n) override;

  private:
    void drawCompositeBars(int page, const QString& title,
                           const std::vector<tolven::GraphPoint>& bars);
    void drawPage1(int n);
    void drawPage2(int n);
    void drawPage3(int n);
    void drawPage4(int n);

    QTabWidget* pages_;
    QChartView* views_[4];
    QComboBox* horse_;
    QLabel* horseName_;
    QComboBox* run_;
    QCheckBox* axisFixed_;
};
