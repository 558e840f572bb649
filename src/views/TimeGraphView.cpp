#include "views/TimeGraphView.hpp"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QValueAxis>

#include <optional>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <algorithm>
#include <cmath>

#include "model/race_header.hpp"

using tolven::qs;

namespace {

// The least room between two value labels, in pixels.
constexpr qreal kLabelGap = 3;

const char* const kTitles[] = {"馬別能力序列グラフ", "馬別総合能力比較ｸﾞﾗﾌ", "各馬能力推移ｸﾞﾗﾌ",
                               "馬別能力比較ｸﾞﾗﾌ"};

QValueAxis* valueAxis(const QString& title) {
    auto* y = new QValueAxis;
    y->setTitleText(title);
    // "#,##0.0": the figures lie well below a thousand.
    y->setLabelFormat(QStringLiteral("%.1f"));
    return y;
}

QString number(double value) {
    return qs(tolven::axis_number(value));
}

// Replaces all values of a bar set.
void setValues(QBarSet* set, const QList<qreal>& values) {
    if (set->count() == values.size()) {
        for (int i = 0; i < values.size(); ++i) {
            if (set->at(i) != values[i]) set->replace(i, values[i]);
        }
        return;
    }
    if (set->count() > 0) set->remove(0, set->count());
    set->append(values);
}

void setCategories(QBarCategoryAxis* axis, const QStringList& categories) {
    if (axis->categories() != categories) axis->setCategories(categories);
}

void setPoints(QXYSeries* series, const QList<QPointF>& points) {
    if (series->points() != points) series->replace(points);
}

}  // namespace

TimeGraphView::TimeGraphView(const tolven::RaceDay& day, QWidget* parent)
    : RaceView(QStringLiteral("タイムグラフ"), day, parent) {
    pages_ = new QTabWidget(this);
    for (std::size_t i = 0; i < views_.size(); ++i) {
        auto* chart = new QChart;
        chart->setTitle(QString::fromUtf8(kTitles[i]));
        views_[i] = new QChartView(chart, pages_);
        views_[i]->setObjectName(QStringLiteral("Graph%1").arg(i + 1));
        views_[i]->setRenderHint(QPainter::Antialiasing);
        views_[i]->setAccessibleName(QString::fromUtf8(kTitles[i]));
    }
    // Page 3 has the horse selector and the horse's name above its chart,
    // page 4 the past-run selector.
    auto* trendPage = new QWidget(pages_);
    auto* trendLayout = new QVBoxLayout(trendPage);
    auto* top = new QHBoxLayout;
    auto* horseCaption = new QLabel(QStringLiteral("馬番"), trendPage);
    top->addWidget(horseCaption);
    horse_ = new QComboBox(trendPage);
    horse_->setObjectName(QStringLiteral("HorseSelector"));
    horse_->setAccessibleName(QStringLiteral("馬番"));
    horse_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    horseCaption->setBuddy(horse_);
    top->addWidget(horse_);
    horseName_ = new QLabel(trendPage);
    horseName_->setObjectName(QStringLiteral("HorseName"));
    horseName_->setTextFormat(Qt::PlainText);
    top->addWidget(horseName_, 1);
    trendLayout->addLayout(top);
    trendLayout->addWidget(views_[2], 1);
    auto* comparisonPage = new QWidget(pages_);
    auto* comparisonLayout = new QVBoxLayout(comparisonPage);
    run_ = new QComboBox(comparisonPage);
    run_->setObjectName(QStringLiteral("RunSelector"));
    run_->setAccessibleName(QStringLiteral("前走"));
    for (const char* item : {"前走-1", "前走-2", "前走-3", "前走-4", "前走-5", "全平均"}) {
        run_->addItem(QString::fromUtf8(item));
    }
    comparisonLayout->addWidget(run_, 0, Qt::AlignLeft);
    comparisonLayout->addWidget(views_[3], 1);
    QWidget* pageWidgets[] = {views_[0], views_[1], trendPage, comparisonPage};
    for (std::size_t i = 0; i < 4; ++i)
        pages_->addTab(pageWidgets[i], QString::fromUtf8(kTitles[i]));
    content()->addWidget(pages_, 1);
    axisFixed_ = new QCheckBox(QStringLiteral("能力軸（左軸)固定"), this);
    axisFixed_->setChecked(true);
    content()->addWidget(axisFixed_);

    buildBarPage(order_, views_[0]->chart(),
                 {tolven::kRed, tolven::kMagenta, tolven::kLime, tolven::kYellow, tolven::kGrey});
    buildBarPage(composite_, views_[1]->chart(), {tolven::kRed, tolven::kGrey});
    buildTrendPage();
    buildComparisonPage();

    // State changes, however they were made (mouse, keys, assistive
    // technology), redraw what depends on them.
    connect(pages_, &QTabWidget::currentChanged, this, &TimeGraphView::showPage);
    connect(horse_, &QComboBox::currentIndexChanged, this, [this] { invalidate({3}); });
    connect(run_, &QComboBox::currentIndexChanged, this, [this] { invalidate({4}); });
    connect(axisFixed_, &QCheckBox::toggled, this, [this] { invalidate({3, 4, 2, 1}); });
}

QChart* TimeGraphView::chart(int page) const {
    return views_[static_cast<std::size_t>(page - 1)]->chart();
}

void TimeGraphView::buildBarPage(BarPage& page, QChart* chart, const std::vector<unsigned>& colours) {
    page.chart = chart;
    page.chart->legend()->setVisible(false);
    page.x = new QBarCategoryAxis;
    page.x->setTitleText(QStringLiteral("馬番"));
    page.y = valueAxis(QStringLiteral("総合能力指数"));
    page.chart->addAxis(page.x, Qt::AlignBottom);
    page.chart->addAxis(page.y, Qt::AlignLeft);
    // Bars with one colour each: a stacked series with one set per colour,
    // each set holding its bars and zeros elsewhere.
    page.series = new QStackedBarSeries;
    page.series->setName(QStringLiteral("総合能力"));
    for (unsigned colour : colours) {
        auto* set = new QBarSet(QStringLiteral("総合能力"));
        set->setColor(rgb(colour));
        set->setBorderColor(rgb(colour));
        set->setLabelColor(Qt::black);
        page.series->append(set);
        page.sets.emplace_back(colour, set);
    }
    page.chart->addSeries(page.series);
    page.series->attachAxis(page.x);
    page.series->attachAxis(page.y);
    // The value labels, in the axis format ("#,##0.0") inside the top of each
    // bar; drawn here, as a series would print 299.0 as "299" and let the
    // labels of neighbouring bars run into each other.
    for (int i = 0; i < tolven::kMaxRunners; ++i) {
        auto* label = new QGraphicsSimpleTextItem(chart);
        label->setZValue(10);
        label->setVisible(false);
        page.labels.push_back(label);
    }
    connect(chart, &QChart::plotAreaChanged, this, [this, &page] { placeBarLabels(page); });
    connect(page.y, &QValueAxis::rangeChanged, this, [this, &page] { placeBarLabels(page); });
}

void TimeGraphView::placeBarLabels(BarPage& page) {
    // Each label stays over its own bar: wholly inside the bar below its top,
    // or wholly above it when the bar is too short. Where the bars are
    // narrower than the text (a full field of 18), every label is turned to
    // read upwards, so that it keeps to its bar's width and never crowds its
    // neighbours.
    QRectF plot = page.chart->plotArea();
    const std::size_t count = std::min(page.values.size(), page.labels.size());
    qreal slot = plot.width();
    if (count > 1) {
        slot = page.chart->mapToPosition(QPointF(1, 270), page.series).x() -
               page.chart->mapToPosition(QPointF(0, 270), page.series).x();
    }
    qreal widest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        widest = std::max(widest, page.labels[i]->boundingRect().width());
    }
    const bool upright = widest + 2 * kLabelGap > slot;
    for (std::size_t i = 0; i < page.labels.size(); ++i) {
        QGraphicsSimpleTextItem* label = page.labels[i];
        if (i >= count || plot.isEmpty()) {
            label->setVisible(false);
            continue;
        }
        const double x = static_cast<double>(i);
        QPointF top = page.chart->mapToPosition(QPointF(x, page.values[i]), page.series);
        QPointF foot = page.chart->mapToPosition(QPointF(x, page.y->min()), page.series);
        QRectF box = label->boundingRect();
        QSizeF size = upright ? QSizeF(box.height(), box.width()) : box.size();
        QRectF inside(top.x() - size.width() / 2, top.y() + kLabelGap, size.width(), size.height());
        QRectF above = inside.translated(0, -size.height() - 2 * kLabelGap);
        std::optional<QRectF> chosen;
        if (inside.bottom() <= std::min(foot.y(), plot.bottom()) && plot.contains(inside)) {
            chosen = inside;
        } else if (plot.contains(above)) {
            chosen = above;
        }
        label->setVisible(chosen.has_value());
        if (!chosen) continue;
        // Turned a quarter to the left about its origin, the text occupies
        // the rectangle above and to the right of its position.
        label->setRotation(upright ? -90 : 0);
        label->setPos(upright ? chosen->bottomLeft() : chosen->topLeft());
    }
}

void TimeGraphView::setBars(BarPage& page, const std::vector<tolven::GraphPoint>& bars) {
    QStringList categories;
    double top = 270;
    for (const auto& b : bars) {
        categories << QString::fromStdString(b.label).trimmed();
        top = std::max(top, b.value);
    }
    setCategories(page.x, categories);
    page.values.clear();
    for (std::size_t i = 0; i < bars.size() && i < page.labels.size(); ++i) {
        page.values.push_back(bars[i].value);
        page.labels[i]->setText(number(bars[i].value));
    }
    for (auto& [colour, set] : page.sets) {
        QList<qreal> values;
        values.reserve(static_cast<int>(bars.size()));
        for (const auto& b : bars) values << (b.colour == colour ? b.value : 0.0);
        setValues(set, values);
    }
    // From 270 to the next ten above the best bar, a tick every ten.
    double maximum = std::ceil((top + 5) / 10) * 10;
    page.y->setRange(270, maximum);
    page.y->setTickCount(static_cast<int>((maximum - 270) / 10) + 1);
    placeBarLabels(page);
}

void TimeGraphView::buildTrendPage() {
    QChart* chart = views_[2]->chart();
    auto* x = new QBarCategoryAxis;
    for (int k = 1; k <= tolven::kPastRuns; ++k) x->append(QStringLiteral("前%1走").arg(k));
    trendY_ = valueAxis(QStringLiteral("能力指数"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(trendY_, Qt::AlignLeft);
    // The finishing positions sit on a right-hand axis that is not shown,
    // its range chosen so that they stand in a band along the top.
    trendRight_ = new QValueAxis;
    trendRight_->setTitleText(QStringLiteral("着順"));
    trendRight_->setRange(-9, 1);
    trendRight_->setVisible(false);
    chart->addAxis(trendRight_, Qt::AlignRight);
    auto line = [&](const QString& name, unsigned colour) {
        auto* s = new QLineSeries;
        s->setName(name);
        s->setColor(rgb(colour));
        s->setPointsVisible(true);
        s->setMarkerSize(6);
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(trendY_);
        return s;
    };
    timeLine_ = line(QStringLiteral("ﾀｲﾑ能力"), tolven::kRed);
    f3Line_ = line(QStringLiteral("3ﾊﾛﾝ能力"), tolven::kGreenDark);
    positions_ = new QScatterSeries;
    positions_->setName(QStringLiteral("順位"));
    positions_->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    positions_->setMarkerSize(12);
    positions_->setColor(rgb(tolven::kYellow));
    chart->addSeries(positions_);
    positions_->attachAxis(x);
    positions_->attachAxis(trendRight_);
    chart->legend()->setVisible(true);
    // The labels of the points are drawn here rather than by the series, so
    // that they can be kept apart from each other.
    for (auto* labels : {&timeLabels_, &f3Labels_, &positionLabels_}) {
        for (int k = 0; k < tolven::kPastRuns; ++k) {
            auto* label = new QGraphicsSimpleTextItem(chart);
            label->setZValue(10);
            labels->push_back(label);
        }
    }
    connect(chart, &QChart::plotAreaChanged, this, &TimeGraphView::placeTrendLabels);
    connect(trendY_, &QValueAxis::rangeChanged, this, &TimeGraphView::placeTrendLabels);
}

void TimeGraphView::buildComparisonPage() {
    QChart* chart = views_[3]->chart();
    comparisonX_ = new QBarCategoryAxis;
    comparisonX_->setTitleText(QStringLiteral("馬番"));
    comparisonY_ = valueAxis(QStringLiteral("能力指数"));
    chart->addAxis(comparisonX_, Qt::AlignBottom);
    chart->addAxis(comparisonY_, Qt::AlignLeft);
    // Two bar series side by side: running time red, three furlongs green,
    // a zero bar grey.
    auto* series = new QBarSeries;
    timeBars_ = new QBarSet(QStringLiteral("走破ﾀｲﾑ能力"));
    timeBars_->setColor(rgb(tolven::kRed));
    f3Bars_ = new QBarSet(QStringLiteral("3ﾊﾛﾝ能力"));
    f3Bars_->setColor(rgb(tolven::kGreenDark));
    for (QBarSet* set : {timeBars_, f3Bars_}) {
        set->setSelectedColor(rgb(tolven::kGrey));
        series->append(set);
    }
    chart->addSeries(series);
    series->attachAxis(comparisonX_);
    series->attachAxis(comparisonY_);
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignTop);
}

void TimeGraphView::showRace(int n) {
    setHeader(n, tolven::race_header(day_.race[n]).title);
    race_ = n;
    {
        QSignalBlocker block(horse_);
        int runners = day_.runners(n);
        while (horse_->count() > runners) horse_->removeItem(horse_->count() - 1);
        while (horse_->count() < runners)
            horse_->addItem(QStringLiteral("%1番").arg(horse_->count() + 1));
        horse_->setCurrentIndex(runners > 0 ? 0 : -1);
    }
    invalidate({3, 4, 2, 1});
}

void TimeGraphView::invalidate(std::initializer_list<int> pages) {
    for (int page : pages) pageStale_[static_cast<std::size_t>(page - 1)] = true;
    showPage(pages_->currentIndex());
}

void TimeGraphView::showPage(int index) {
    if (race_ < 0 || race_ >= day_.race_count || index < 0 || index > 3) return;
    if (!pageStale_[static_cast<std::size_t>(index)]) return;
    pageStale_[static_cast<std::size_t>(index)] = false;
    switch (index) {
        case 0:
            drawPage1(race_);
            break;
        case 1:
            drawPage2(race_);
            break;
        case 2:
            drawPage3(race_);
            break;
        default:
            drawPage4(race_);
            break;
    }
}

void TimeGraphView::drawPage1(int n) {
    std::vector<tolven::GraphPoint> bars = tolven::ability_order_bars(day_, n);
    setBars(order_, bars);
    views_[0]->setAccessibleDescription(
        QStringLiteral("総合能力指数を能力の高い順に棒で表示（縦軸は270から）：") +
        qs(tolven::graph_values_text(bars, tolven::sj("番"))));
}

void TimeGraphView::drawPage2(int n) {
    std::vector<tolven::GraphPoint> bars = tolven::composite_bars(day_, n);
    setBars(composite_, bars);
    views_[1]->setAccessibleDescription(
        QStringLiteral("総合能力指数を馬番順に棒で表示（縦軸は270から）：") +
        qs(tolven::graph_values_text(bars, tolven::sj("番"))));
}

void TimeGraphView::drawPage3(int n) {
    int r = horse_->currentIndex();
    if (r < 0 || r >= day_.runners(n)) {
        horseName_->clear();
        return;
    }
    QString name = qs(std::string(tolven::field_text(day_.runner[n][r], tolven::se::horse_name)));
    horseName_->setText(name);
    tolven::RunnerTrend trend = tolven::runner_trend(day_, n, r);
    QList<QPointF> time, f3, positions;
    double low = trend.time[0].value, high = low;
    for (int k = 0; k < tolven::kPastRuns; ++k) {
        auto at = static_cast<std::size_t>(k);
        time << QPointF(k, trend.time[at].value);
        f3 << QPointF(k, trend.f3[at].value);
        positions << QPointF(k, 0);
        low = std::min({low, trend.time[at].value, trend.f3[at].value});
        high = std::max({high, trend.time[at].value, trend.f3[at].value});
        timeLabels_[at]->setText(number(trend.time[at].value));
        f3Labels_[at]->setText(number(trend.f3[at].value));
        positionLabels_[at]->setText(qs(trend.position[at].label));
    }
    setPoints(timeLine_, time);
    setPoints(f3Line_, f3);
    setPoints(positions_, positions);
    for (int k = 0; k < tolven::kPastRuns; ++k) {
        positions_->setPointConfiguration(k, QXYSeries::PointConfiguration::Color,
                                          rgb(trend.position[static_cast<std::size_t>(k)].colour));
    }
    if (axisFixed_->isChecked()) {
        trendY_->setRange(90, 120);
    } else {
        // Room above the highest point for its label and the band of
        // finishing positions.
        double span = std::max(1.0, high - low);
        double bottom = low - span * 0.1;
        trendY_->setRange(low >= 0 ? std::max(0.0, bottom) : bottom, high + span * 0.35);
        trendY_->applyNiceNumbers();
    }
    placeTrendLabels();
    // Both lines are described by run, 前1走 to 前5走.
    std::vector<tolven::GraphPoint> f3Points = trend.f3;
    for (std::size_t k = 0; k < f3Points.size(); ++k) f3Points[k].label = trend.time[k].label;
    views_[2]->setAccessibleDescription(
        horse_->currentText() + QLatin1Char(' ') + name.trimmed() +
        QStringLiteral(" の前1走から前5走までの能力指数と着順：ﾀｲﾑ能力 ") +
        qs(tolven::graph_values_text(trend.time, "")) + QStringLiteral("／3ﾊﾛﾝ能力 ") +
        qs(tolven::graph_values_text(f3Points, "")) + QStringLiteral("／着順 ") +
        qs(tolven::positions_text(trend)));
}

// Puts the value labels of the two lines and the finishing-position labels
// where they do not cover each other: the positions above their markers in
// the band along the top; of the two values of a run the higher one above
// its point and the lower one below; a label that would still touch another
// moves further away, up or down, inside the plot area.
void TimeGraphView::placeTrendLabels() {
    QChart* chart = views_[2]->chart();
    QRectF plot = chart->plotArea();
    // Nothing to place before the first horse is drawn.
    if (plot.isEmpty() || timeLine_->count() != tolven::kPastRuns ||
        positions_->count() != tolven::kPastRuns)
        return;
    QList<QRectF> taken;
    const qreal gap = kLabelGap;
    auto rectAt = [](QGraphicsSimpleTextItem* label, QPointF centre, bool above, qreal offset) {
        QRectF box = label->boundingRect();
        qreal y = above ? centre.y() - offset - box.height() : centre.y() + offset;
        return QRectF(centre.x() - box.width() / 2, y, box.width(), box.height());
    };
    auto free = [&](const QRectF& r) {
        if (!plot.contains(r)) return false;
        return std::none_of(taken.begin(), taken.end(), [&](const QRectF& t) {
            return t.adjusted(-2, -2, 2, 2).intersects(r);
        });
    };
    for (int k = 0; k < tolven::kPastRuns; ++k) {
        QPointF marker = chart->mapToPosition(QPointF(k, 0), positions_);
        QRectF square(marker.x() - 6, marker.y() - 6, 12, 12);
        taken << square;
        QGraphicsSimpleTextItem* label = positionLabels_[static_cast<std::size_t>(k)];
        QRectF r = rectAt(label, marker, true, 6 + gap);
        if (!plot.contains(r)) r = rectAt(label, marker, false, 6 + gap);
        label->setPos(r.topLeft());
        label->setVisible(plot.contains(r));
        if (label->isVisible()) taken << r;
    }
    for (int k = 0; k < tolven::kPastRuns; ++k) {
        auto at = static_cast<std::size_t>(k);
        QPointF time = chart->mapToPosition(timeLine_->at(k), timeLine_);
        QPointF f3 = chart->mapToPosition(f3Line_->at(k), f3Line_);
        bool timeHigher = time.y() <= f3.y();
        const std::pair<QGraphicsSimpleTextItem*, QPointF> order[] = {{timeLabels_[at], time},
                                                                      {f3Labels_[at], f3}};
        for (int i = 0; i < 2; ++i) {
            auto [label, point] = order[i];
            // A run that did not happen (plotted at 0) needs no value; its
            // position already reads "なし".
            double value = (i == 0 ? timeLine_ : f3Line_)->at(k).y();
            if (value == 0 || !plot.contains(point)) {
                label->setVisible(false);
                continue;
            }
            bool above = (i == 0) == timeHigher;
            QRectF chosen;
            bool found = false;
            for (int step = 0; step < 12 && !found; ++step) {
                qreal offset = 4 + step * (label->boundingRect().height() / 2);
                for (bool side : {above, !above}) {
                    QRectF r = rectAt(label, point, side, offset);
                    if (free(r)) {
                        chosen = r;
                        found = true;
                        break;
                    }
                }
            }
            label->setVisible(found);
            if (!found) continue;
            label->setPos(chosen.topLeft());
            taken << chosen;
        }
    }
}

std::vector<QGraphicsSimpleTextItem*> TimeGraphView::shownLabels(int page) const {
    std::vector<const std::vector<QGraphicsSimpleTextItem*>*> sets;
    if (page == 1) sets = {&order_.labels};
    if (page == 2) sets = {&composite_.labels};
    if (page == 3) sets = {&timeLabels_, &f3Labels_, &positionLabels_};
    std::vector<QGraphicsSimpleTextItem*> shown;
    for (const auto* labels : sets) {
        for (QGraphicsSimpleTextItem* label : *labels) {
            if (label->isVisible()) shown.push_back(label);
        }
    }
    return shown;
}

QList<QRectF> TimeGraphView::labelRects(int page) const {
    QList<QRectF> rects;
    for (QGraphicsSimpleTextItem* label : shownLabels(page))
        rects << label->mapRectToParent(label->boundingRect());
    return rects;
}

QStringList TimeGraphView::labelTexts(int page) const {
    QStringList texts;
    for (QGraphicsSimpleTextItem* label : shownLabels(page)) texts << label->text();
    return texts;
}

void TimeGraphView::drawPage4(int n) {
    int run = run_->currentIndex() == 5 ? 0 : run_->currentIndex() + 1;
    tolven::ComparisonBars bars = tolven::comparison_bars(day_, n, run);
    QStringList categories;
    QList<qreal> time, f3;
    double top = 0;
    for (std::size_t i = 0; i < bars.time.size(); ++i) {
        categories << QString::fromStdString(bars.time[i].label);
        time << bars.time[i].value;
        f3 << bars.f3[i].value;
        top = std::max({top, bars.time[i].value, bars.f3[i].value});
    }
    setCategories(comparisonX_, categories);
    setValues(timeBars_, time);
    setValues(f3Bars_, f3);
    // A bar of 0 is grey: the selected colour of its set.
    for (auto [set, points] : {std::pair{timeBars_, &bars.time}, std::pair{f3Bars_, &bars.f3}}) {
        for (std::size_t i = 0; i < points->size(); ++i) {
            set->setBarSelected(static_cast<int>(i), (*points)[i].colour == tolven::kGrey);
        }
    }
    if (axisFixed_->isChecked()) {
        comparisonY_->setRange(90, 120);
    } else {
        comparisonY_->setRange(0, top > 0 ? top * 1.05 : 1);
    }
    views_[3]->setAccessibleDescription(
        run_->currentText() +
        QStringLiteral(" の走破ﾀｲﾑ能力（赤）と3ﾊﾛﾝ能力（緑）を馬番順に棒で表示：走破ﾀｲﾑ能力 ") +
        qs(tolven::graph_values_text(bars.time, tolven::sj("番"))) + QStringLiteral("／3ﾊﾛﾝ能力 ") +
        qs(tolven::graph_values_text(bars.f3, tolven::sj("番"))));
}
