#pragma once

#include <QList>
#include <QRectF>

#include <array>
#include <vector>

#include "layouts/view_tables.hpp"
#include "views/RaceView.hpp"

class QBarCategoryAxis;
class QBarSeries;
class QBarSet;
class QCheckBox;
class QChart;
class QChartView;
class QComboBox;
class QGraphicsSimpleTextItem;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QStackedBarSeries;
class QTabWidget;
class QValueAxis;

// The time graphs "タイムグラフ": the runners by composite ability, the
// composite ability by horse number, one horse's last five runs, and all
// horses' figures for a chosen past run. The charts are built once; a race,
// horse or run change only gives their series new values, and only the page
// on top is drawn (the others when they are turned to).
class TimeGraphView : public RaceView {
    Q_OBJECT

  public:
    TimeGraphView(const tolven::RaceDay& day, QWidget* parent = nullptr);

    QChart* chart(int page) const;
    QChartView* chartView(int page) const { return views_[static_cast<std::size_t>(page - 1)]; }
    QComboBox* horseSelector() const { return horse_; }
    QComboBox* runSelector() const { return run_; }
    QLabel* horseName() const { return horseName_; }
    QCheckBox* axisFixed() const { return axisFixed_; }
    QTabWidget* pages() const { return pages_; }
    // The value labels of page 1, 2 or 3 (with the finishing positions) as
    // drawn, in chart coordinates; hidden ones left out.
    QList<QRectF> labelRects(int page) const;
    QStringList labelTexts(int page) const;

  protected:
    void showRace(int n) override;

  private:
    struct BarPage {
        QChart* chart = nullptr;
        QBarCategoryAxis* x = nullptr;
        QValueAxis* y = nullptr;
        QStackedBarSeries* series = nullptr;
        std::vector<std::pair<unsigned, QBarSet*>> sets;  // one per colour
        std::vector<double> values;
        std::vector<QGraphicsSimpleTextItem*> labels;
    };
    void buildBarPage(BarPage& page, QChart* chart, const std::vector<unsigned>& colours);
    void buildTrendPage();
    void buildComparisonPage();
    void setBars(BarPage& page, const std::vector<tolven::GraphPoint>& bars);

    // Marks pages as out of date and draws the one on top.
    void invalidate(std::initializer_list<int> pages);
    void showPage(int page);
    void drawPage1(int n);
    void drawPage2(int n);
    void drawPage3(int n);
    void drawPage4(int n);
    void placeBarLabels(BarPage& page);
    std::vector<QGraphicsSimpleTextItem*> shownLabels(int page) const;
    void placeTrendLabels();

    QTabWidget* pages_;
    std::array<QChartView*, 4> views_{};
    BarPage order_, composite_;
    // Page 3.
    QValueAxis* trendY_ = nullptr;
    QValueAxis* trendRight_ = nullptr;
    QLineSeries* timeLine_ = nullptr;
    QLineSeries* f3Line_ = nullptr;
    QScatterSeries* positions_ = nullptr;
    std::vector<QGraphicsSimpleTextItem*> timeLabels_, f3Labels_, positionLabels_;
    // Page 4.
    QBarCategoryAxis* comparisonX_ = nullptr;
    QValueAxis* comparisonY_ = nullptr;
    QBarSet* timeBars_ = nullptr;
    QBarSet* f3Bars_ = nullptr;

    QComboBox* horse_;
    QLabel* horseName_;
    QComboBox* run_;
    QCheckBox* axisFixed_;
    int race_ = -1;
    std::array<bool, 4> pageStale_{true, true, true, true};
};
