#include "views/RaceCardView.hpp"

#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include "layouts/view_tables.hpp"
#include "model/race_header.hpp"

RaceCardView::RaceCardView(const tolven::RaceDay& day, QWidget* parent)
    : RaceView(QStringLiteral("ﾚｰｽ内容表示"), day, parent) {
    // Widest texts: an 18-byte name, an 8-byte jockey, "55.0", "ｾﾝ 3",
    // "ﾌﾞﾘﾝ", "1kg減".
    grid_ = makeGrid(this, {25, 25, 206, 80, 49, 36, 36, 64, 0}, {1, 2, 18, 8, 4, 4, 4, 5, 0});
    grid_->setObjectName(QStringLiteral("CardGrid"));
    grid_->setAccessibleName(QStringLiteral("出馬表"));
    grid_->setToolTip(QStringLiteral(
        "表示は枠番、馬番、馬名、騎手、負担重量、性別馬齢、ブリンカー、見習区分、の順です"));
    content()->addWidget(grid_);
}

void RaceCardView::paint(int n) {
    QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    for (int r = 0; r < grid_->rowCount(); ++r) {
        for (int c = 0; c < grid_->columnCount(); ++c) {
            QTableWidgetItem* item = grid_->item(r, c);
            if (item == nullptr) continue;
            if (c == 0) {
                item->setBackground(rgb(tolven::bracket_colour(day_.bracket(n, r))));
                item->setForeground(rgb(tolven::bracket_text_colour(day_.bracket(n, r))));
            }
            if (c == 1) item->setBackground(tip);
            item->setTextAlignment(c == 2 || c == 3 ? Qt::AlignLeft | Qt::AlignVCenter
                                                    : Qt::AlignCenter);
        }
    }
}

void RaceCardView::raceSelected(int n) {
    afterLoad_ = false;
    RaceView::raceSelected(n);
}

void RaceCardView::showRace(int n) {
    std::vector<std::vector<std::string>> rows;
    if (afterLoad_ && n == 0) {
        setHeader(0, tolven::race_header(day_.race[0]).title);
        for (int r = 0; r < day_.runners(0); ++r) {
            auto cells = tolven::card_row(day_.race[0], day_.runner[0][r]);
            rows.emplace_back(cells.begin(), cells.end());
        }
    } else {
        setHeader(n, tolven::contents_title(day_, n));
        for (const auto& r : tolven::contents_rows(day_, n)) rows.emplace_back(r.begin(), r.end());
    }
    fillGrid(grid_, rows);
    paint(n);
}

void RaceCardView::showFirstRaceAfterLoad() {
    if (day_.race_count <= 0) return;
    afterLoad_ = true;
    refresh();
}
