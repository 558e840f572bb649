#include "views/TGraphForm.hpp"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QScatterSeries>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QValueAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include "raceday/race_header.hpp"

using tolven::qs;

namespace {

// Bars with one colour each: a stacked series with one set per colour, each
// set holding its bars and zeros elsewhere.
void addColouredBars(QChart* chart, const std::vector<tolven::GraphPoint>& bars,
                     const QString& name, QBarCategoryAxis* x, QValueAxis* y) {
    auto* series = new QStackedBarSeries;
    series->setName(name);
    std::vector<unsigned> colours;
    for (const auto& b : bars) {
        if (std::find(colours.begin(), colours.end(), b.colour) == colours.end())
            colours.push_back(b.colour);
    }
    for (unsigned colour : colours) {
        auto* set = new QBarSet(name);
        set->setColor(TRaceForm::rgb(colour));
        set->setLabelColor(Qt::black);
        for (const auto& b : bars) *set << (b.colour == colour ? b.value : 0.0);
        series->append(set);
    }
    chart->addSeries(series);
    // Value labels with one decimal: composite scores lie in the hundreds.
    series->setLabelsVisible(true);
    series->setLabelsFormat(QStringLiteral("@value"));
    series->setLabelsPrecision(4);
    series->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
    series->attachAxis(x);
    series->attachAxis(y);
}

QChart* freshChart(QChartView* view, const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setVisible(false);
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
    return chart;
}

QValueAxis* valueAxis(const QString& title) {
    auto* y = new QValueAxis;
    y->setTitleText(title);
    y->setLabelFormat(QStringLiteral("%.1f"));
    return y;
}

}  // namespace

TGraphForm::TGraphForm(tolven::RaceDay& day, QWidget* parent)
    : TRaceForm(QStringLiteral("タイムグラフ"), day, parent) {
    pages_ = new QTabWidget(this);
    const char* titles[] = {"馬別能力序列グラフ", "馬別総合能力比較ｸﾞﾗﾌ", "各馬能力推移ｸﾞﾗﾌ",
                            "馬別能力比較ｸﾞﾗﾌ"};
    for (int i = 0; i < 4; ++i) {
        views_[i] = new QChartView(new QChart, pages_);
        views_[i]->setRenderHint(QPainter::Antialiasing);
        QWidget* page = views_[i];
        if (i == 2) {
            page = new QWidget(pages_);
            auto* layout = new QVBoxLayout(page);
            auto* top = new QHBoxLayout;
            top->addWidget(new QLabel(QStringLiteral("馬番"), page));
            horse_ = new QComboBox(page);
            horse_->setAccessibleName(QStringLiteral("馬番"));
            top->addWidget(horse_);
            horseName_ = new QLabel(page);
            top->addWidget(horseName_, 1);
            layout->addLayout(top);
            layout->addWidget(views_[i], 1);
        } else if (i == 3) {
            page = new QWidget(pages_);
            auto* layout = new QVBoxLayout(page);
            run_ = new QComboBox(page);
            run_->setAccessibleName(QStringLiteral("前走"));
            for (const char* item : {"前走-1", "前走-2", "前走-3", "前走-4", "前走-5", "全平均"}) {
                run_->addItem(QString::fromUtf8(item));
            }
            layout->addWidget(run_);
            layout->addWidget(views_[i], 1);
        }
        pages_->addTab(page, QString::fromUtf8(titles[i]));
    }
    content()->addWidget(pages_, 1);
    axisFixed_ = new QCheckBox(QStringLiteral("能力軸（左軸)固定"), this);
    axisFixed_->setChecked(true);
    content()->addWidget(axisFixed_);

    connect(horse_, &QComboBox::activated, this, [this] {
        if (currentRace() >= 0) drawPage3(currentRace());
    });
    connect(run_, &QComboBox::activated, this, [this] {
        if (currentRace() >= 0) drawPage4(currentRace());
    });
    connect(axisFixed_, &QCheckBox::clicked, this, [this] {
        int n = currentRace();
        if (n < 0) return;
        drawPage3(n);
        drawPage4(n);
        drawPage2(n);
        drawPage1(n);
    });
}

QChart* TGraphForm::chart(int page) const {
    return views_[page - 1]->chart();
}

void TGraphForm::showRace(int n) {
    setHeader(n, tolven::race_header(day_.race[n]).title);
    horse_->clear();
    for (int h = 1; h <= day_.runners(n); ++h) horse_->addItem(QStringLiteral("%1番").arg(h));
    horse_->setCurrentIndex(0);
    drawPage3(n);
    drawPage4(n);
    drawPage2(n);
    drawPage1(n);
}

// Pages 1 and 2: one bar per runner, coloured per bar, on an axis from 270.
void TGraphForm::drawCompositeBars(int page, const QString& title,
                                   const std::vector<tolven::GraphPoint>& bars) {
    QChart* chart = freshChart(views_[page - 1], title);
    auto* x = new QBarCategoryAxis;
    x->setTitleText(QStringLiteral("馬番"));
    for (const auto& b : bars) x->append(QString::fromStdString(b.label).trimmed());
    QValueAxis* y = valueAxis(QStringLiteral("総合能力指数"));
    double top = 270;
    for (const auto& b : bars) top = std::max(top, b.value);
    y->setRange(270, top + 5);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    addColouredBars(chart, bars, QStringLiteral("総合能力"), x, y);
}

void TGraphForm::drawPage1(int n) {
    drawCompositeBars(1, QStringLiteral("馬別能力序列グラフ"), tolven::ability_order_bars(day_, n));
}

void TGraphForm::drawPage2(int n) {
    drawCompositeBars(2, QStringLiteral("馬別総合能力比較ｸﾞﾗﾌ"), tolven::composite_bars(day_, n));
}

void TGraphForm::drawPage3(int n) {
    QChart* chart = freshChart(views_[2], QStringLiteral("各馬能力推移ｸﾞﾗﾌ"));
    int r = std::max(0, horse_->currentIndex());
    if (r >= day_.runners(n)) return;
    horseName_->setText(
        qs(std::string(tolven::field_text(day_.runner[n][r], tolven::se::horse_name))));
    tolven::RunnerTrend trend = tolven::runner_trend(day_, n, r);
    auto* x = new QBarCategoryAxis;
    for (const auto& p : trend.time) x->append(qs(p.label));
    QValueAxis* y = valueAxis(QStringLiteral("能力指数"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    auto line = [&](const std::vector<tolven::GraphPoint>& points, const QString& name,
                    unsigned colour) {
        auto* s = new QLineSeries;
        s->setName(name);
        s->setColor(rgb(colour));
        for (std::size_t k = 0; k < points.size(); ++k)
            s->append(static_cast<double>(k), points[k].value);
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
        // Point labels in the axis format "#,##0.0": a label format can only
        // print the raw value, so each point gets its text from a marker of
        // its own.
        for (std::size_t k = 0; k < points.size(); ++k) {
            auto* label = new QScatterSeries;
            label->setMarkerSize(6);
            label->setColor(rgb(colour));
            label->append(static_cast<double>(k), points[k].value);
            label->setPointLabelsVisible(true);
            label->setPointLabelsFormat(
                QLocale(QLocale::English).toString(points[k].value, 'f', 1));
            chart->addSeries(label);
            label->attachAxis(x);
            label->attachAxis(y);
            for (QLegendMarker* marker : chart->legend()->markers(label)) marker->setVisible(false);
        }
    };
    line(trend.time, QStringLiteral("ﾀｲﾑ能力"), tolven::kRed);
    line(trend.f3, QStringLiteral("3ﾊﾛﾝ能力"), tolven::kGreenDark);
    // The finishing positions: one point each, labelled and coloured, on a
    // right-hand axis that is not shown.
    auto* right = new QValueAxis;
    right->setRange(-1, 1);
    right->setVisible(false);
    chart->addAxis(right, Qt::AlignRight);
    for (std::size_t k = 0; k < trend.position.size(); ++k) {
        auto* s = new QScatterSeries;
        s->setName(QStringLiteral("順位"));
        s->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
        s->setColor(rgb(trend.position[k].colour));
        s->append(static_cast<double>(k), 0);
        s->setPointLabelsVisible(true);
        s->setPointLabelsFormat(qs(trend.position[k].label));
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(right);
        // One legend entry for the five points.
        if (k > 0) {
            for (QLegendMarker* marker : chart->legend()->markers(s)) marker->setVisible(false);
        }
    }
    chart->legend()->setVisible(true);
    if (axisFixed_->isChecked()) {
        y->setRange(90, 120);
    } else {
        y->applyNiceNumbers();
    }
}

void TGraphForm::drawPage4(int n) {
    QChart* chart = freshChart(views_[3], QStringLiteral("馬別能力比較ｸﾞﾗﾌ"));
    int run = run_->currentIndex() == 5 ? 0 : run_->currentIndex() + 1;
    tolven::ComparisonBars bars = tolven::comparison_bars(day_, n, run);
    auto* x = new QBarCategoryAxis;
    x->setTitleText(QStringLiteral("馬番"));
    for (const auto& b : bars.time) x->append(QString::fromStdString(b.label));
    QValueAxis* y = valueAxis(QStringLiteral("能力指数"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    // Two bar series side by side: running time red, three furlongs green,
    // a zero bar grey.
    auto* series = new QBarSeries;
    auto addSet = [&](const std::vector<tolven::GraphPoint>& points, const QString& name,
                      unsigned colour) {
        auto* set = new QBarSet(name);
        set->setColor(rgb(colour));
        for (const auto& p : points) *set << p.value;
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (points[i].colour == tolven::kGrey) {
                set->setSelectedColor(rgb(tolven::kGrey));
                set->selectBar(static_cast<int>(i));
            }
        }
        series->append(set);
    };
    addSet(bars.time, QStringLiteral("走破ﾀｲﾑ能力"), tolven::kRed);
    addSet(bars.f3, QStringLiteral("3ﾊﾛﾝ能力"), tolven::kGreenDark);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignTop);
    if (axisFixed_->isChecked()) {
        y->setRange(90, 120);
    } else {
        double top = 0;
        for (const auto& b : bars.time) top = std::max(top, b.value);
        for (const auto& b : bars.f3) top = std::max(top, b.value);
        y->setRange(0, top > 0 ? top * 1.05 : 1);
    }
}
