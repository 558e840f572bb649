#include "views/RaceView.hpp"

#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "model/race_header.hpp"

using tolven::qs;

RaceView::RaceView(const QString& title, const tolven::RaceDay& day, QWidget* parent)
    : QWidget(parent), day_(day) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("RaceTabs"));
    tabs_->setAccessibleName(QStringLiteral("レース"));
    tabs_->setExpanding(false);
    tabs_->setUsesScrollButtons(true);
    layout->addWidget(tabs_);
    band_ = new QWidget(this);
    band_->setObjectName(QStringLiteral("HeaderBand"));
    band_->setAutoFillBackground(true);
    auto* bandLayout = new QVBoxLayout(band_);
    bandLayout->setContentsMargins(6, 3, 6, 3);
    bandLayout->setSpacing(0);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setBold(true);
    font.setPixelSize(14);
    QPalette white = band_->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        QLabel* line = new QLabel(band_);
        line->setObjectName(QStringLiteral("HeaderLine%1").arg(i + 1));
        line->setFont(font);
        line->setPalette(white);
        line->setTextFormat(Qt::PlainText);
        bandLayout->addWidget(line);
        lines_[i] = line;
    }
    layout->addWidget(band_);
    content_ = new QVBoxLayout;
    content_->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(content_, 1);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0 && index < day_.race_count) raceSelected(index);
    });
}

void RaceView::dayLoaded() {
    {
        QSignalBlocker block(tabs_);
        int count = std::clamp(day_.race_count, 0, tolven::kMaxRaces);
        while (tabs_->count() > count) tabs_->removeTab(tabs_->count() - 1);
        while (tabs_->count() < count)
            tabs_->addTab(QStringLiteral("%1 R").arg(tabs_->count() + 1));
        tabs_->setCurrentIndex(0);
    }
    // A tab bar changed while its window is hidden does not tell the layout
    // that its size changed, and the strip would keep the height it had
    // without tabs: nobody could reach another race.
    tabs_->updateGeometry();
    refresh();
}

void RaceView::raceSelected(int /*n*/) {
    refresh();
}

void RaceView::refresh() {
    stale_ = true;
    if (!isVisible()) return;
    int n = currentRace();
    if (n < 0 || n >= day_.race_count) return;
    stale_ = false;
    showRace(n);
}

void RaceView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_) refresh();
}

int RaceView::currentRace() const {
    return tabs_->currentIndex();
}
void RaceView::setCurrentRace(int n) {
    tabs_->setCurrentIndex(n);
}
QString RaceView::headerLine(int i) const {
    return lines_[static_cast<std::size_t>(i)]->text();
}
QColor RaceView::headerColour() const {
    return band_->palette().color(QPalette::Window);
}

void RaceView::setHeader(int n, const std::string& title) {
    tolven::RaceHeader h = tolven::race_header(day_.race[n]);
    const std::array<const std::string*, 4> texts{&title, &h.course, &h.condition, &h.grade};
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lineTexts_[i] == *texts[i] && !lines_[i]->text().isNull()) continue;
        lineTexts_[i] = *texts[i];
        lines_[i]->setText(qs(lineTexts_[i]));
    }
    if (h.colour != bandColour_) {
        bandColour_ = h.colour;
        QPalette p = band_->palette();
        p.setColor(QPalette::Window, rgb(h.colour));
        band_->setPalette(p);
    }
}

QTableWidget* RaceView::makeGrid(QWidget* parent, const std::vector<int>& widths,
                                  const std::vector<int>& widest) {
    auto* grid = new QTableWidget(parent);
    grid->setColumnCount(static_cast<int>(widths.size()));
    grid->horizontalHeader()->setVisible(false);
    grid->verticalHeader()->setVisible(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    // Tab goes on to the next control, as everywhere else in the window.
    grid->setTabKeyNavigation(false);
    grid->setWordWrap(false);
    grid->verticalHeader()->setMinimumSectionSize(0);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->horizontalHeader()->setMinimumSectionSize(0);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setBold(true);
    font.setPixelSize(15);
    grid->setFont(font);
    fitColumns(grid, widths, widest);
    return grid;
}

void RaceView::fitColumns(QTableWidget* grid, const std::vector<int>& widths,
                           const std::vector<int>& widest) {
    QFontMetrics metrics(grid->font());
    // An item view draws a cell's text inside the focus-frame margin and one
    // more pixel on each side; the grid line takes the last pixel of a
    // column, where the designed widths did not count it.
    const int margin =
        2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
    const int line = grid->showGrid() ? 1 : 0;
    for (std::size_t c = 0; c < widths.size(); ++c) {
        int width = widths[c];
        if (width <= 0) {
            grid->setColumnWidth(static_cast<int>(c), 0);
            continue;
        }
        int bytes = c < widest.size() ? widest[c] : 0;
        if (bytes > 0) {
            width = std::max(width,
                             metrics.horizontalAdvance(QString(bytes, QLatin1Char('0'))) + margin);
        }
        grid->setColumnWidth(static_cast<int>(c), width + line);
    }
}

void RaceView::announceCell(QTableWidget* grid, int row, int column, bool checkedChanged) {
    // A screen reader keeps what it has read of a cell until it is told the
    // cell changed. Without one, nothing is told.
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    if (table == nullptr || table->tableInterface() == nullptr) return;
    QAccessibleInterface* cell = table->tableInterface()->cellAt(row, column);
    if (cell == nullptr) return;
    if (checkedChanged) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(cell, changed);
        QAccessible::updateAccessibility(&event);
    } else {
        QAccessibleEvent event(cell, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void RaceView::fillGrid(QTableWidget* grid, const std::vector<std::vector<std::string>>& rows) {
    grid->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            int row = static_cast<int>(r), column = static_cast<int>(c);
            QTableWidgetItem* item = grid->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignCenter);
                item->setBackground(Qt::white);
                grid->setItem(row, column, item);
            }
            QString text = qs(rows[r][c]);
            if (item->text() != text) {
                item->setText(text);
                announceCell(grid, row, column);
            }
        }
    }
}
