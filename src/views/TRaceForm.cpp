#include "views/TRaceForm.hpp"

#include <QHeaderView>
#include <QLabel>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "raceday/race_header.hpp"

using tolven::qs;

TRaceForm::TRaceForm(const QString& title, tolven::RaceDay& day, QWidget* parent)
    : QWidget(parent), day_(day) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("RaceTabs"));
    tabs_->setExpanding(false);
    layout->addWidget(tabs_);
    band_ = new QWidget(this);
    band_->setObjectName(QStringLiteral("HeaderBand"));
    auto* bandLayout = new QVBoxLayout(band_);
    bandLayout->setContentsMargins(6, 3, 6, 3);
    bandLayout->setSpacing(0);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setBold(true);
    font.setPixelSize(14);
    for (auto& line : lines_) {
        line = new QLabel(band_);
        line->setFont(font);
        bandLayout->addWidget(line);
    }
    layout->addWidget(band_);
    content_ = new QVBoxLayout;
    content_->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(content_, 1);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0 && index < day_.race_count) showRace(index);
    });
}

void TRaceForm::dayLoaded() {
    QSignalBlocker block(tabs_);
    while (tabs_->count() > 0) tabs_->removeTab(0);
    for (int n = 1; n <= std::min(day_.race_count, tolven::kMaxRaces); ++n) {
        tabs_->addTab(QStringLiteral("%1 R").arg(n));
    }
    tabs_->setCurrentIndex(0);
    if (day_.race_count > 0) showRace(0);
}

int TRaceForm::currentRace() const {
    return tabs_->currentIndex();
}
void TRaceForm::setCurrentRace(int n) {
    tabs_->setCurrentIndex(n);
}
QString TRaceForm::headerLine(int i) const {
    return lines_[static_cast<std::size_t>(i)]->text();
}
QColor TRaceForm::headerColour() const {
    return band_->palette().color(QPalette::Window);
}

void TRaceForm::setHeader(int n, const std::string& title) {
    tolven::RaceHeader h = tolven::race_header(day_.race[n]);
    lines_[0]->setText(qs(title));
    lines_[1]->setText(qs(h.course));
    lines_[2]->setText(qs(h.condition));
    lines_[3]->setText(qs(h.grade));
    QColor colour = rgb(h.colour);
    QPalette p = band_->palette();
    p.setColor(QPalette::Window, colour);
    band_->setPalette(p);
    band_->setAutoFillBackground(true);
    band_->setStyleSheet(
        QStringLiteral("#HeaderBand { background-color: %1; } QLabel { color: white; }")
            .arg(colour.name()));
}

QTableWidget* TRaceForm::makeGrid(QWidget* parent, const std::vector<int>& widths) {
    auto* grid = new QTableWidget(parent);
    grid->setColumnCount(static_cast<int>(widths.size()));
    grid->horizontalHeader()->setVisible(false);
    grid->verticalHeader()->setVisible(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->horizontalHeader()->setMinimumSectionSize(0);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setBold(true);
    font.setPixelSize(15);
    grid->setFont(font);
    for (std::size_t c = 0; c < widths.size(); ++c)
        grid->setColumnWidth(static_cast<int>(c), widths[c]);
    return grid;
}

void TRaceForm::fillGrid(QTableWidget* grid, const std::vector<std::vector<std::string>>& rows) {
    grid->clearContents();
    grid->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(qs(rows[r][c]));
            item->setTextAlignment(Qt::AlignCenter);
            item->setBackground(Qt::white);
            grid->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
}
