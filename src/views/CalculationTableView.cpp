#include "views/CalculationTableView.hpp"

#include <QTabWidget>
#include <QTableWidget>
#include <QHeaderView>
#include <QToolTip>
#include <QVBoxLayout>

#include "layouts/view_tables.hpp"
#include "model/race_header.hpp"
#include "store/code_tables.hpp"
#include "widgets/qt_text.hpp"

namespace {

template <std::size_t N>
std::vector<std::vector<std::string>> rows_of(const std::vector<std::array<std::string, N>>& rows) {
    std::vector<std::vector<std::string>> out;
    for (const auto& r : rows) out.emplace_back(r.begin(), r.end());
    return out;
}

// Colours and alignment of the calculation grids: bracket colour, tooltip
// ground for the number, cyan averages and trend, green ranks.
void paint(QTableWidget* grid, const tolven::RaceDay& day, int n, bool time_page) {
    for (int r = 0; r < grid->rowCount(); ++r) {
        for (int c = 0; c < grid->columnCount(); ++c) {
            QTableWidgetItem* item = grid->item(r, c);
            if (item == nullptr) continue;
            QColor ground = Qt::white;
            if (c == 0) ground = RaceView::rgb(tolven::bracket_colour(day.bracket(n, r)));
            if (c == 1) ground = QToolTip::palette().color(QPalette::ToolTipBase);
            if (c == 8 || (time_page && c == 10)) ground = QColor(0, 255, 255);
            if (c == 9 || (time_page && c == 11)) ground = QColor(0, 255, 0);
            item->setBackground(ground);
            if (c == 0) item->setForeground(RaceView::rgb(tolven::bracket_text_colour(day.bracket(n, r))));
            Qt::Alignment a = Qt::AlignCenter;
            if ((c >= 3 && c <= 8) || (time_page && c == 10)) a = Qt::AlignRight | Qt::AlignVCenter;
            if (c == 2) a = Qt::AlignLeft | Qt::AlignVCenter;
            item->setTextAlignment(a);
        }
    }
}

}  // namespace

CalculationTableView::CalculationTableView(const tolven::RaceDay& day, QWidget* parent)
    : RaceView(QStringLiteral("計算表"), day, parent) {
    pages_ = new QTabWidget(this);
    timeGrid_ = makeGrid(pages_, {25, 25, 172, 60, 60, 60, 60, 60, 64, 30, 64, 30},
                         {1, 2, 18, 6, 6, 6, 6, 6, 6, 2, 6, 2});
    timeGrid_->setObjectName(QStringLiteral("TimeGrid"));
    timeGrid_->setAccessibleName(QStringLiteral("走破ﾀｲﾑ能力表"));
    timeGrid_->setToolTip(
        QStringLiteral("表示は左から枠番、馬番、馬名、前５走、前４走、前３走、前２走、前１走、平均"
                       "、順位、推移、推移順位です"));
    f3Grid_ = makeGrid(pages_, {25, 25, 172, 60, 60, 60, 60, 60, 64, 30},
                       {1, 2, 18, 6, 6, 6, 6, 6, 6, 2});
    f3Grid_->setObjectName(QStringLiteral("F3Grid"));
    f3Grid_->setAccessibleName(QStringLiteral("3ﾊﾛﾝﾀｲﾑ能力表"));
    f3Grid_->setToolTip(QStringLiteral(
        "表示は左から枠番、馬番、馬名、前５走、前４走、前３走、前２走、前１走、平均、順位です"));
    // Column headings, so that a newcomer need not find the tooltips.
    auto headings = [](QTableWidget* grid, const auto& texts) {
        QStringList titles;
        for (const std::string& t : texts) titles << tolven::qs(t);
        grid->setHorizontalHeaderLabels(titles);
        QFont font = grid->font();
        font.setPixelSize(12);
        grid->horizontalHeader()->setFont(font);
        grid->horizontalHeader()->setVisible(true);
    };
    headings(timeGrid_, tolven::calc_time_headings());
    headings(f3Grid_, tolven::calc_f3_headings());
    pages_->addTab(timeGrid_, QStringLiteral("走破ﾀｲﾑ能力表"));
    pages_->addTab(f3Grid_, QStringLiteral("3ﾊﾛﾝﾀｲﾑ能力表"));
    content()->addWidget(pages_);
    connect(pages_, &QTabWidget::currentChanged, this, &CalculationTableView::showPage);
}

void CalculationTableView::showRace(int n) {
    setHeader(n, tolven::race_header(day_.race[n]).title);
    race_ = n;
    pageStale_ = {true, true};
    showPage(pages_->currentIndex());
}

void CalculationTableView::showPage(int page) {
    if (race_ < 0 || page < 0 || page > 1 || !pageStale_[static_cast<std::size_t>(page)]) return;
    pageStale_[static_cast<std::size_t>(page)] = false;
    if (page == 0) {
        fillGrid(timeGrid_, rows_of(tolven::calc_time_rows(day_, race_)));
        paint(timeGrid_, day_, race_, true);
    } else {
        fillGrid(f3Grid_, rows_of(tolven::calc_f3_rows(day_, race_)));
        paint(f3Grid_, day_, race_, false);
    }
}
