#include "windows/BalanceWindow.hpp"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QCategoryAxis>
#include <QSaveFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <exception>

#include "layouts/chart_axes.hpp"
#include "pipeline/backtest.hpp"
#include "store/error_text.hpp"
#include "store/date_time.hpp"
#include "widgets/DateField.hpp"
#include "widgets/qt_text.hpp"

using tolven::qs;

namespace {

std::optional<QString> nextFileName;

QDate date_of(int yyyymmdd) {
    return QDate(yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100);
}

int number_of(const QDate& date) {
    return date.year() * 10000 + date.month() * 100 + date.day();
}

QString yen(long long amount) {
    return QLocale(QLocale::Japanese, QLocale::Japan).toString(static_cast<qlonglong>(amount));
}

QString percent(double rate) {
    return QString::number(rate, 'f', 1) + QLatin1Char('%');
}

const char* const kPageTitles[] = {"合計", "券種別", "パターン別", "勝負度別",
                                   "競馬場別", "月別", "日別"};
constexpr int kPages = 7;
constexpr int kDayPage = 6;

QTableWidget* makeTable(QWidget* parent, const QStringList& titles, const QString& name) {
    auto* table = new QTableWidget(parent);
    table->setColumnCount(static_cast<int>(titles.size()));
    table->setHorizontalHeaderLabels(titles);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setAccessibleName(name);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(13);
    table->setFont(font);
    return table;
}

QTableWidgetItem* cell(const QString& text, bool number) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(number ? (Qt::AlignRight | Qt::AlignVCenter)
                                  : (Qt::AlignLeft | Qt::AlignVCenter));
    return item;
}

void fillGroups(QTableWidget* table, const std::vector<tolven::BalanceGroup>& groups) {
    table->setRowCount(static_cast<int>(groups.size()));
    for (int r = 0; r < table->rowCount(); ++r) {
        const tolven::BalanceGroup& g = groups[static_cast<std::size_t>(r)];
        const tolven::BalanceFigures& f = g.figures;
        table->setItem(r, 0, cell(qs(tolven::balance_group_label(g.key)), false));
        const QString values[] = {QString::number(f.races), QString::number(f.tickets),
                                  yen(f.stake),             yen(f.returned),
                                  yen(f.balance()),         percent(f.return_rate()),
                                  percent(f.hit_rate())};
        for (int c = 0; c < 7; ++c) table->setItem(r, c + 1, cell(values[c], true));
        if (f.balance() < 0) table->item(r, 5)->setForeground(Qt::red);
    }
    table->resizeColumnsToContents();
}

}  // namespace

void BalanceWindow::setNextFileName(const QString& name) {
    nextFileName = name;
}

BalanceWindow::BalanceWindow(std::filesystem::path base, QWidget* parent)
    : QWidget(parent), base_(std::move(base)) {
    setWindowTitle(QStringLiteral("収支分析"));
    setObjectName(QStringLiteral("BalanceWindow"));
    auto* layout = new QVBoxLayout(this);

    // The choices: period, whose bets, the wide option.
    // Two rows, so that the window fits beside the race-day list: the period
    // with the buttons, then whose bets.
    auto* choices = new QHBoxLayout;
    auto* sources = new QHBoxLayout;
    auto* period = new QGroupBox(QStringLiteral("期間"), this);
    auto* periodLayout = new QHBoxLayout(period);
    from_ = new DateField(period);
    to_ = new DateField(period);
    for (QDateEdit* edit : {from_, to_}) edit->setCalendarPopup(true);
    from_->setObjectName(QStringLiteral("BalanceFrom"));
    to_->setObjectName(QStringLiteral("BalanceTo"));
    from_->setAccessibleName(QStringLiteral("期間の初日"));
    to_->setAccessibleName(QStringLiteral("期間の最終日"));
    periodLayout->addWidget(from_);
    periodLayout->addWidget(new QLabel(QStringLiteral("～"), period));
    periodLayout->addWidget(to_);
    choices->addWidget(period);

    auto* source = new QGroupBox(QStringLiteral("買い目"), this);
    auto* sourceLayout = new QHBoxLayout(source);
    computer_ = new QRadioButton(QStringLiteral("コンピュータ予想"), source);
    user_ = new QRadioButton(QStringLiteral("ユーザー予想"), source);
    computer_->setChecked(true);
    auto* group = new QButtonGroup(this);
    group->addButton(computer_);
    group->addButton(user_);
    sourceLayout->addWidget(computer_);
    sourceLayout->addWidget(user_);
    wide_ = new QCheckBox(QStringLiteral("ワイドを含む"), source);
    sourceLayout->addWidget(wide_);
    sources->addWidget(source);
    sources->addStretch(1);

    run_ = new QPushButton(QStringLiteral("集計(&R)"), this);
    cancel_ = new QPushButton(QStringLiteral("中止"), this);
    cancel_->setEnabled(false);
    choices->addWidget(run_, 0, Qt::AlignBottom);
    choices->addWidget(cancel_, 0, Qt::AlignBottom);
    choices->addStretch(1);
    layout->addLayout(choices);
    layout->addLayout(sources);

    auto* status = new QHBoxLayout;
    progress_ = new QProgressBar(this);
    progress_->setAccessibleName(QStringLiteral("読込みの進み具合"));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("BalanceSummary"));
    status->addWidget(progress_, 1);
    status->addWidget(summary_, 2);
    layout->addLayout(status);

    auto* split = new QSplitter(Qt::Vertical, this);
    pages_ = new QTabWidget(split);
    pages_->setObjectName(QStringLiteral("BalancePages"));
    const QStringList groupTitles{QStringLiteral("区分"),   QStringLiteral("レース"),
                                  QStringLiteral("点数"),   QStringLiteral("投資額"),
                                  QStringLiteral("払戻額"), QStringLiteral("収支"),
                                  QStringLiteral("回収率"), QStringLiteral("的中率")};
    for (int i = 0; i < kPages; ++i) {
        QString title = QString::fromUtf8(kPageTitles[i]);
        QTableWidget* table =
            i == kDayPage
                ? makeTable(pages_,
                            {QStringLiteral("日"), QStringLiteral("投資額"), QStringLiteral("払戻額"),
                             QStringLiteral("収支"), QStringLiteral("累積収支"),
                             QStringLiteral("備考")},
                            title)
                : makeTable(pages_, groupTitles, title);
        pages_->addTab(table, title);
    }
    chart_ = new QChartView(new QChart, split);
    chart_->setObjectName(QStringLiteral("BalanceChart"));
    chart_->setAccessibleName(QStringLiteral("累積収支グラフ"));
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumHeight(220);
    chart_->installEventFilter(this);
    // In place of the chart when the period has no race day.
    noData_ = new QLabel(QStringLiteral("データがありません"));
    noData_->setObjectName(QStringLiteral("BalanceNoData"));
    noData_->setAlignment(Qt::AlignCenter);
    QFont noDataFont = noData_->font();
    noDataFont.setPointSizeF(noDataFont.pointSizeF() * 1.5);
    noData_->setFont(noDataFont);
    chartPlace_ = new QStackedWidget(split);
    chartPlace_->addWidget(chart_);
    chartPlace_->addWidget(noData_);
    split->addWidget(pages_);
    split->addWidget(chartPlace_);
    split->setSizes({400, 400});
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    auto* note = new QLabel(
        QStringLiteral("1点100円で買ったとした場合の成績です。過去の成績は将来の結果を約束する"
                       "ものではありません。"),
        this);
    note->setWordWrap(true);
    buttons->addWidget(note, 1);
    csv_ = new QPushButton(QStringLiteral("CSV保存(&S)"), this);
    print_ = new QPushButton(QStringLiteral("印刷(&P)"), this);
    csv_->setEnabled(false);
    print_->setEnabled(false);
    buttons->addWidget(csv_);
    buttons->addWidget(print_);
    layout->addLayout(buttons);

    connect(run_, &QPushButton::clicked, this, &BalanceWindow::run);
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    connect(csv_, &QPushButton::clicked, this, &BalanceWindow::saveCsv);
    connect(print_, &QPushButton::clicked, this, [this] {
        if (onPrint) onPrint(report_);
    });
    resetPeriod();
}

QTableWidget* BalanceWindow::table(int page) const {
    return qobject_cast<QTableWidget*>(pages_->widget(page));
}

void BalanceWindow::resetPeriod() {
    std::optional<std::pair<int, int>> period = tolven::default_balance_period(base_);
    if (period) {
        from_->setDate(date_of(period->first));
        to_->setDate(date_of(period->second));
    } else {
        QDate today = QDate::currentDate();
        from_->setDate(today.addYears(-1).addDays(1));
        to_->setDate(today);
    }
}

tolven::BalanceOptions BalanceWindow::options() const {
    tolven::BalanceOptions o;
    o.from = number_of(from_->date());
    o.to = number_of(to_->date());
    o.bets = user_->isChecked() ? tolven::BetSource::User : tolven::BetSource::Computer;
    o.wide = wide_->isChecked();
    return o;
}

void BalanceWindow::setRunning(bool running) {
    running_ = running;
    run_->setEnabled(!running);
    cancel_->setEnabled(running);
    for (QWidget* w : std::initializer_list<QWidget*>{from_, to_, computer_, user_, wide_})
        w->setEnabled(!running);
    csv_->setEnabled(!running && !report_.races.empty());
    print_->setEnabled(!running && (!report_.days.empty() || !report_.skipped.empty()));
}

void BalanceWindow::run() {
    if (running_) return;
    tolven::BalanceOptions o = options();
    if (o.from > o.to) {
        if (onError) onError(QStringLiteral("期間の初日が最終日より後になっています。"));
        return;
    }
    cancelled_ = false;
    setRunning(true);
    tolven::BalanceProgress progress;
    // The bar and the text are drawn again at most every few hundredths of a
    // second: a day is counted in a few milliseconds, and drawing the bar for
    // each one took a good part of the run.
    QElapsedTimer sinceShown;
    progress.step = [this, &sinceShown](int done, int total, const std::string& day) {
        constexpr qint64 kRedrawMs = 30;
        if (!sinceShown.isValid() || sinceShown.elapsed() >= kRedrawMs || day.empty()) {
            progress_->setRange(0, std::max(1, total));
            progress_->setValue(done);
            summary_->setText(day.empty() ? QStringLiteral("集計中")
                                          : QStringLiteral("読込み中 %1/%2 %3")
                                                .arg(done + 1)
                                                .arg(total)
                                                .arg(qs(day)));
            sinceShown.start();
        }
        // Lets the window repaint and 中止 be pressed between days.
        QApplication::processEvents();
    };
    progress.cancelled = [this] { return cancelled_; };
    try {
        report_ = tolven::run_balance(base_, o, progress);
    } catch (const std::exception& e) {
        report_ = tolven::BalanceReport{};
        if (onError) onError(QString::fromStdString(tolven::error_message(e)));
    }
    setRunning(false);
    showReport();
}

void BalanceWindow::showReport() {
    QString text = QStringLiteral("%1日  見送り%2日  結果待ち%3レース")
                       .arg(report_.days.size())
                       .arg(report_.skipped.size())
                       .arg(report_.pending_races);
    if (report_.cancelled) text = QStringLiteral("中止しました（集計は途中までです）  ") + text;
    summary_->setText(text);
    fillTables();
    fillChart();
}

void BalanceWindow::fillTables() {
    fillGroups(table(0), {{tolven::sj("合計"), report_.total}});
    fillGroups(table(1), report_.by_kind);
    fillGroups(table(2), report_.by_pattern);
    fillGroups(table(3), report_.by_grade);
    fillGroups(table(4), report_.by_course);
    fillGroups(table(5), report_.by_month);

    QTableWidget* days = table(kDayPage);
    days->setRowCount(static_cast<int>(report_.days.size() + report_.skipped.size()));
    int r = 0;
    for (const auto& d : report_.days) {
        days->setItem(r, 0, cell(qs(d.day), false));
        days->setItem(r, 1, cell(yen(d.stake), true));
        days->setItem(r, 2, cell(yen(d.returned), true));
        days->setItem(r, 3, cell(yen(d.balance()), true));
        days->setItem(r, 4, cell(yen(d.cumulative), true));
        days->setItem(r, 5, cell(QString(), false));
        // Losses in red, as on the other pages.
        if (d.balance() < 0) days->item(r, 3)->setForeground(Qt::red);
        if (d.cumulative < 0) days->item(r, 4)->setForeground(Qt::red);
        ++r;
    }
    for (const auto& s : report_.skipped) {
        days->setItem(r, 0, cell(qs(s.day), false));
        for (int c = 1; c <= 4; ++c) days->setItem(r, c, cell(QString(), true));
        days->setItem(r, 5, cell(QStringLiteral("見送り: ") + qs(s.reason), false));
        ++r;
    }
    days->resizeColumnsToContents();
}

void BalanceWindow::fillChart() {
    // Showing the chart page again resizes the chart view, and the resize
    // would start another build inside this one (see eventFilter). The page is
    // shown first, so that the ticks below are counted for the size the chart
    // has now, and resizes during the build are left to it.
    QScopedValueRollback<bool> building(fillingChart_, true);
    const int days = static_cast<int>(report_.days.size());
    chartPlace_->setCurrentWidget(days == 0 ? static_cast<QWidget*>(noData_) : chart_);

    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("累積収支の推移"));
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignTop);
    // One point per race day at its date; several courses racing on one date
    // make a step at that date.
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("累積収支"));
    series->setPointsVisible(true);
    QStringList values;
    long long low = 0;
    long long high = 0;
    for (const tolven::BalanceDay& d : report_.days) {
        series->append(static_cast<qreal>(tolven::day_number(d.date)), static_cast<qreal>(d.cumulative));
        values << QStringLiteral("%1 %2円").arg(qs(d.day), yen(d.cumulative));
        low = std::min(low, d.cumulative);
        high = std::max(high, d.cumulative);
    }
    chart->addSeries(series);
    // What the chart plots, for a screen reader: the cumulative balance after
    // each day.
    chart_->setAccessibleDescription(
        values.isEmpty() ? QStringLiteral("日別の累積収支: データがありません")
                         : QStringLiteral("日別の累積収支: ") + values.join(QStringLiteral("、")));
    // The curve handed out is always the one of the chart on screen.
    auto show = [this, chart, series] {
        QChart* old = chart_->chart();
        chart_->setChart(chart);
        series_ = series;
        delete old;
        chartWidth_ = chart_->width();
    };
    if (days == 0) {
        show();
        return;
    }

    // The axes' ticks fall on round dates and amounts, as many as their
    // labels leave room for: the width of the plot over that of a label.
    const int first = report_.days.front().date;
    const int last = report_.days.back().date;
    auto* x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    QFontMetrics xMetrics(x->labelsFont());
    int plotWidth = std::max(200, chart_->width() - 140);
    int labelWidth = xMetrics.horizontalAdvance(QStringLiteral("2026/12")) + 3 * xMetrics.averageCharWidth();
    std::vector<tolven::DateTick> dateTicks =
        tolven::date_ticks(first, last, std::max(1, plotWidth / labelWidth));
    const qreal left = static_cast<qreal>(tolven::day_number(first)) - 1;
    const qreal right = static_cast<qreal>(tolven::day_number(last)) + 1;
    x->setStartValue(left - 1);
    for (const tolven::DateTick& t : dateTicks) {
        x->append(QString::fromStdString(t.label), static_cast<qreal>(tolven::day_number(t.date)));
    }
    x->setRange(left, right);
    // Day labels leave the year to the title.
    bool dayLabels = !dateTicks.empty() && dateTicks.front().label.size() == 5;
    x->setTitleText(dayLabels ? QStringLiteral("日付（%1年）").arg(first / 10000)
                              : QStringLiteral("日付"));

    auto* y = new QCategoryAxis;
    y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    y->setTitleText(QStringLiteral("円"));
    int plotHeight = std::max(100, chart_->height() - 150);
    int rows = std::max(2, plotHeight / (QFontMetrics(y->labelsFont()).height() * 2));
    std::vector<long long> amounts = tolven::amount_ticks(low, high, rows);
    y->setStartValue(static_cast<qreal>(amounts.front()) - 1);
    for (long long a : amounts) {
        y->append(QString::fromStdString(tolven::grouped_amount(a)), static_cast<qreal>(a));
    }
    y->setRange(static_cast<qreal>(amounts.front()), static_cast<qreal>(amounts.back()));

    auto* zero = new QLineSeries;
    zero->setName(QStringLiteral("0円"));
    QPen dashed(Qt::gray);
    dashed.setStyle(Qt::DashLine);
    zero->setPen(dashed);
    zero->append(left, 0);
    zero->append(right, 0);
    chart->addSeries(zero);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* s : {series, zero}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    show();
}

bool BalanceWindow::eventFilter(QObject* watched, QEvent* event) {
    // A chart made narrower or wider takes as many date labels as fit now.
    // Not while a chart is being built: that build measures the chart after
    // its page is shown, so it already has the new size.
    if (watched == chart_ && event->type() == QEvent::Resize && !fillingChart_ &&
        !report_.days.empty() && std::abs(chart_->width() - chartWidth_) > 40) {
        fillChart();
    }
    return QWidget::eventFilter(watched, event);
}

void BalanceWindow::saveCsv() {
    QString name;
    if (nextFileName) {
        name = *nextFileName;
        nextFileName.reset();
    } else {
        name = QFileDialog::getSaveFileName(this, QStringLiteral("CSV保存"),
                                            QStringLiteral("balance.csv"),
                                            QStringLiteral("CSV (*.csv)"));
    }
    if (name.isEmpty()) return;
    // Written whole or not at all.
    QSaveFile file(name);
    QByteArray bytes = QByteArray::fromStdString(tolven::balance_spreadsheet_csv(report_));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (onError) onError(QStringLiteral("CSVファイルを書けません: %1 (%2)").arg(name, file.errorString()));
    }
}
