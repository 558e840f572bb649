#include "windows/FundAllocationView.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include "layouts/view_tables.hpp"
#include "store/cp932.hpp"
#include "widgets/MessageDialog.hpp"
#include "widgets/qt_text.hpp"
#include "windows/InvestmentDialog.hpp"

namespace {

constexpr int kRowHeight = 14;
const int kColumnWidths[tolven::kAllocationColumns] = {38, 45, 55, 50, 50, 50, 50,
                                                       50, 50, 50, 50, 50, 50};

// The allocation grid draws its own lines: a vertical line after every
// column, no horizontal lines between the rows of a race, and a black rule
// three pixels thick under the header row and under every race's lower row,
// so that the race blocks stand apart.
class AllocationGrid : public QTableWidget {
  public:
    using QTableWidget::QTableWidget;

  protected:
    // The header row is fixed: the keyboard never moves into it.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        QModelIndex index = QTableWidget::moveCursor(action, modifiers);
        if (index.isValid() && index.row() == 0 && rowCount() > 1)
            return model()->index(1, index.column());
        return index;
    }

    void paintEvent(QPaintEvent* event) override {
        QTableWidget::paintEvent(event);
        if (rowCount() == 0) return;
        QPainter painter(viewport());
        int bottom = rowViewportPosition(rowCount() - 1) + rowHeight(rowCount() - 1);
        // The colour the table itself would draw its grid in.
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        QColor line = QColor::fromRgba(
            static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
        painter.setPen(line);
        for (int c = 0; c < columnCount(); ++c) {
            int x = columnViewportPosition(c) + columnWidth(c) - 1;
            painter.drawLine(x, 0, x, bottom - 1);
        }
        int right = columnViewportPosition(columnCount() - 1) + columnWidth(columnCount() - 1);
        for (int r = 0; r < rowCount(); r += 2) {
            int last = rowViewportPosition(r) + rowHeight(r) - 1;
            painter.fillRect(QRect(0, last - 1, right, 3), Qt::black);
        }
    }
};

}  // namespace

using tolven::qs;

FundAllocationView::FundAllocationView(tolven::FundAllocation& money, const tolven::RaceDay& day, QWidget* parent)
    : QWidget(parent), money_(money), day_(day) {
    setWindowTitle(QStringLiteral("資金配分"));
    auto* layout = new QVBoxLayout(this);
    grid_ = new AllocationGrid(this);
    grid_->setObjectName(QStringLiteral("AllocationGrid"));
    grid_->setAccessibleName(QStringLiteral("資金配分"));
    grid_->setColumnCount(tolven::kAllocationColumns);
    grid_->horizontalHeader()->setVisible(false);
    grid_->verticalHeader()->setVisible(false);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid_->setShowGrid(false);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->setMinimumSectionSize(0);
    grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid_->horizontalHeader()->setMinimumSectionSize(0);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setBold(true);
    font.setPixelSize(12);
    grid_->setFont(font);
    QPalette black = grid_->palette();
    black.setColor(QPalette::Text, Qt::black);
    grid_->setPalette(black);
    // Each column is as wide as designed plus the pixel of its line.
    for (int c = 0; c < tolven::kAllocationColumns; ++c)
        grid_->setColumnWidth(c, kColumnWidths[c] + 1);
    layout->addWidget(grid_, 1);
    auto* legend = new QLabel(qs(tolven::allocation_legend()), this);
    legend->setObjectName(QStringLiteral("AllocationLegend"));
    legend->setWordWrap(true);
    layout->addWidget(legend);

    auto* bottom = new QHBoxLayout;
    auto total = [this, bottom](const QString& caption) {
        auto* label = new QLabel(caption, this);
        bottom->addWidget(label);
        auto* value = new QLabel(this);
        value->setAlignment(Qt::AlignCenter);
        value->setMinimumWidth(90);
        value->setAutoFillBackground(true);
        QPalette aqua = value->palette();
        aqua.setColor(QPalette::Window, QColor(0, 255, 255));
        value->setPalette(aqua);
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        value->setAccessibleName(caption.chopped(1));
        label->setBuddy(value);
        bottom->addWidget(value);
        return value;
    };
    totalBets_ = total(QStringLiteral("総点数："));
    totalBets_->setObjectName(QStringLiteral("TotalBets"));
    totalStake_ = total(QStringLiteral("総金額："));
    totalStake_->setObjectName(QStringLiteral("TotalStake"));
    bottom->addStretch(1);
    auto* invest = new QPushButton(QStringLiteral("投資金額(&I)"), this);
    invest->setObjectName(QStringLiteral("InvestButton"));
    auto* print = new QPushButton(QStringLiteral("印刷(&P)"), this);
    print->setObjectName(QStringLiteral("PrintButton"));
    bottom->addWidget(invest);
    bottom->addWidget(print);
    layout->addLayout(bottom);

    investmentDialog_ = new InvestmentDialog(money_, this);
    connect(invest, &QPushButton::clicked, investmentDialog_, &InvestmentDialog::showCentred);
    connect(investmentDialog_, &InvestmentDialog::investmentsEntered, this, [this] {
        if (onSplit) onSplit();
        refresh();
    });
    connect(print, &QPushButton::clicked, this, [this] {
        if (day_.race_count < 5) {
            MessageDialog dlg;
            dlg.Caption = QStringLiteral("印刷不可");
            dlg.DisplayMsg = QStringLiteral("この画面は印刷できません。");
            dlg.Execute(this);
            return;
        }
        if (onPrint) onPrint();
    });
}

void FundAllocationView::refresh() {
    const auto& rows = money_.grid();
    grid_->setRowCount(static_cast<int>(rows.size()));
    QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    QColor ground = palette().color(QPalette::Window);
    // The header row names the columns.
    const auto headings = tolven::allocation_headings();
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        bool upper = r % 2 == 1;
        int race = (r + 1) / 2;
        for (int c = 0; c < tolven::kAllocationColumns; ++c) {
            QTableWidgetItem* item = grid_->item(r, c);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                item->setTextAlignment(r == 0 || c <= 2 ? Qt::AlignCenter
                                                        : Qt::AlignRight | Qt::AlignVCenter);
                // The header row is fixed: it is never selected.
                if (r == 0) item->setFlags(Qt::ItemIsEnabled);
                grid_->setItem(r, c, item);
            }
            QString text = r == 0 ? qs(headings[static_cast<std::size_t>(c)])
                                  : qs(rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]);
            if (item->text() != text) item->setText(text);
            QColor colour = ground;
            if (r > 0) {
                if (c <= 2) {
                    colour = upper ? (money_.graded(race) ? QColor(252, 169, 171)
                                                          : QColor(128, 128, 128))
                                   : QColor(Qt::white);
                } else if (c <= 11) {
                    colour = upper ? QColor(0, 255, 0) : tip;
                } else {
                    colour = upper ? QColor(0, 255, 255) : QColor(255, 255, 0);
                }
            }
            item->setBackground(colour);
        }
    }
    totalBets_->setText(qs(money_.total_bets_text()));
    totalStake_->setText(qs(money_.total_stake_text()));
}
