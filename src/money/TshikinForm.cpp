#include "money/TshikinForm.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include "money/TtoushiForm.hpp"
#include "store/cp932.hpp"
#include "widgets/TMsgDlg.hpp"
#include "widgets/qt_text.hpp"

namespace {

// Paints the three-pixel black rule under every even row, so that the race
// blocks stand apart.
class BlockRuleDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.row() % 2 == 0) {
            painter->save();
            painter->setPen(QPen(Qt::black, 1));
            for (int d = -1; d <= 1; ++d) {
                int y = option.rect.bottom() + d;
                painter->drawLine(option.rect.left(), y, option.rect.right(), y);
            }
            painter->restore();
        }
    }
};

}  // namespace

using tolven::qs;

TshikinForm::TshikinForm(tolven::FundAllocation& money, tolven::RaceDay& day, QWidget* parent)
    : QWidget(parent), money_(money), day_(day) {
    setWindowTitle(QStringLiteral("資金配分"));
    auto* layout = new QVBoxLayout(this);
    grid_ = new QTableWidget(this);
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    grid_->setColumnCount(tolven::kAllocationColumns);
    grid_->horizontalHeader()->setVisible(false);
    grid_->verticalHeader()->setVisible(false);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setShowGrid(true);
    grid_->verticalHeader()->setDefaultSectionSize(16);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setBold(true);
    font.setPixelSize(12);
    grid_->setFont(font);
    int widths[] = {38, 45, 55};
    for (int c = 0; c < tolven::kAllocationColumns; ++c)
        grid_->setColumnWidth(c, c < 3 ? widths[c] : 50);
    grid_->setItemDelegate(new BlockRuleDelegate(grid_));
    layout->addWidget(grid_, 1);

    auto* bottom = new QHBoxLayout;
    auto total = [this, bottom](const QString& caption) {
        bottom->addWidget(new QLabel(caption, this));
        auto* value = new QLabel(this);
        value->setAlignment(Qt::AlignCenter);
        value->setMinimumWidth(90);
        value->setStyleSheet(QStringLiteral("QLabel { background: aqua; font-weight: bold; }"));
        bottom->addWidget(value);
        return value;
    };
    staticText1_ = total(QStringLiteral("総点数："));
    staticText1_->setObjectName(QStringLiteral("StaticText1"));
    staticText2_ = total(QStringLiteral("総金額："));
    staticText2_->setObjectName(QStringLiteral("StaticText2"));
    bottom->addStretch(1);
    auto* invest = new QPushButton(QStringLiteral("投資金額(&I)"), this);
    auto* print = new QPushButton(QStringLiteral("印刷(&P)"), this);
    bottom->addWidget(invest);
    bottom->addWidget(print);
    layout->addLayout(bottom);

    toushi_ = new TtoushiForm(money_, day_, this);
    connect(invest, &QPushButton::clicked, this, [this] {
        toushi_->loadFields();
        toushi_->exec();
    });
    connect(toushi_, &TtoushiForm::split, this, &TshikinForm::refresh);
    connect(print, &QPushButton::clicked, this, [this] {
        if (day_.race_count < 5) {
            TMsgDlg dlg;
            dlg.Caption = QStringLiteral("印刷不可");
            dlg.DisplayMsg = QStringLiteral("この画面は印刷できません。");
            dlg.Execute(this);
            return;
        }
        if (onPrint) onPrint();
    });
}

void TshikinForm::refresh() {
    const auto& rows = money_.grid();
    grid_->clearContents();
    grid_->setRowCount(static_cast<int>(rows.size()));
    QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        bool upper = r % 2 == 1;
        int race = (r + 1) / 2;
        for (int c = 0; c < tolven::kAllocationColumns; ++c) {
            auto* item = new QTableWidgetItem(
                qs(rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]));
            QColor ground = palette().color(QPalette::Window);
            if (r > 0) {
                if (c <= 2) {
                    ground = upper ? (money_.graded(race) ? QColor(252, 169, 171)
                                                          : QColor(128, 128, 128))
                                   : QColor(Qt::white);
                } else if (c <= 11) {
                    ground = upper ? QColor(0, 255, 0) : tip;
                } else {
                    ground = upper ? QColor(0, 255, 255) : QColor(255, 255, 0);
                }
            }
            item->setBackground(ground);
            item->setTextAlignment(r == 0 || c <= 2 ? Qt::AlignCenter
                                                    : Qt::AlignRight | Qt::AlignVCenter);
            grid_->setItem(r, c, item);
        }
    }
    staticText1_->setText(qs(money_.total_bets_text()));
    staticText2_->setText(qs(money_.total_stake_text()));
}
