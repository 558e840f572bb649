#include "prediction/TYosoForm.hpp"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include "prediction/user_prediction.hpp"
#include "raceday/race_header.hpp"
#include "views/view_tables.hpp"

using tolven::qs;

namespace {

// Two bet lists under the header "馬連" / "枠連".
QWidget* betLists(QWidget* parent, QListWidget*& quinella, QListWidget*& bracket) {
    auto* box = new QWidget(parent);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("馬連"), box), 0, 0, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("枠連"), box), 0, 1, Qt::AlignCenter);
    quinella = new QListWidget(box);
    bracket = new QListWidget(box);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setBold(true);
    font.setPixelSize(15);
    for (QListWidget* l : {quinella, bracket}) {
        l->setFont(font);
        l->setFixedWidth(90);
    }
    quinella->setAccessibleName(QStringLiteral("馬連"));
    bracket->setAccessibleName(QStringLiteral("枠連"));
    grid->addWidget(quinella, 1, 0);
    grid->addWidget(bracket, 1, 1);
    return box;
}

void fillList(QListWidget* list, const std::vector<std::string>& lines) {
    list->clear();
    for (const auto& l : lines) list->addItem(tolven::qs(l));
}

}  // namespace

TYosoForm::TYosoForm(tolven::RaceDay& day, QWidget* parent)
    : TRaceForm(QStringLiteral("予想表"), day, parent) {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    hit_ = new QPushButton(QStringLiteral("的中"), this);
    longshot_ = new QPushButton(QStringLiteral("穴的中"), this);
    buttons->addWidget(hit_);
    buttons->addWidget(longshot_);
    content()->addLayout(buttons);
    connect(hit_, &QPushButton::clicked, this, [this] {
        if (onHitExport) onHitExport(false);
    });
    connect(longshot_, &QPushButton::clicked, this, [this] {
        if (onHitExport) onHitExport(true);
    });

    pages_ = new QTabWidget(this);
    // Computer page.
    auto* computer = new QWidget(pages_);
    auto* computerLayout = new QHBoxLayout(computer);
    computerGrid_ = makeGrid(computer, {25, 25, 30, 172, 70, 80});
    computerGrid_->setObjectName(QStringLiteral("StringGrid1"));
    computerGrid_->setToolTip(
        QStringLiteral("表示は左から枠番、馬番、印、馬名、能力順位、能力指数です"));
    computerLayout->addWidget(computerGrid_, 1);
    auto* side = new QVBoxLayout;
    auto* patternRow = new QHBoxLayout;
    patternRow->addWidget(new QLabel(QStringLiteral("ﾊﾟﾀｰﾝ："), computer));
    pattern_ = new QLabel(computer);
    pattern_->setObjectName(QStringLiteral("PatternBox"));
    pattern_->setAlignment(Qt::AlignCenter);
    pattern_->setFixedSize(40, 28);
    pattern_->setStyleSheet(QStringLiteral(
        "QLabel { background: yellow; color: blue; font-weight: bold; font-size: 18px; }"));
    pattern_->setAccessibleName(QStringLiteral("ﾊﾟﾀｰﾝ"));
    patternRow->addWidget(pattern_);
    patternRow->addStretch(1);
    side->addLayout(patternRow);
    side->addWidget(betLists(computer, computerQuinella_, computerBracket_), 1);
    computerLayout->addLayout(side);
    pages_->addTab(computer, QStringLiteral("コンピュータ予想表"));

    // User page.
    auto* user = new QWidget(pages_);
    auto* userLayout = new QHBoxLayout(user);
    userGrid_ = makeGrid(user, {25, 25, 140, 30, 30, 1, 30, 30, 1, 30, 30, 1, 30, 30, 30, 30, 70});
    userGrid_->setObjectName(QStringLiteral("StringGrid2"));
    userGrid_->horizontalHeader()->setVisible(true);
    QStringList titles;
    for (const char* t : tolven::user_grid_titles()) titles << QString::fromUtf8(t);
    userGrid_->setHorizontalHeaderLabels(titles);
    userLayout->addWidget(userGrid_, 1);
    userLayout->addWidget(betLists(user, userQuinella_, userBracket_));
    pages_->addTab(user, QStringLiteral("ユーザー予想表"));
    content()->addWidget(pages_, 1);

    connect(userGrid_, &QTableWidget::cellClicked, this,
            [this](int row, int column) { clickUserCell(row + 1, column); });
}

void TYosoForm::clickUserCell(int row, int column) {
    int n = currentRace();
    if (n < 0) return;
    tolven::toggle_check_item(day_, n, row, column);
    showRace(n);
}

void TYosoForm::showRace(int n) {
    tolven::RaceHeader h = tolven::race_header(day_.race[n]);
    setHeader(n, h.title);
    const tolven::ComputerPrediction& p = day_.prediction[n];

    std::vector<std::vector<std::string>> rows;
    for (const auto& r : tolven::computer_prediction_rows(day_, n))
        rows.emplace_back(r.begin(), r.end());
    fillGrid(computerGrid_, rows);
    QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    for (int r = 0; r < computerGrid_->rowCount(); ++r) {
        computerGrid_->item(r, 0)->setBackground(rgb(tolven::bracket_colour(day_.bracket(n, r))));
        computerGrid_->item(r, 1)->setBackground(tip);
        computerGrid_->item(r, 3)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        computerGrid_->item(r, 4)->setBackground(QColor(0, 255, 0));
        computerGrid_->item(r, 5)->setBackground(QColor(0, 255, 255));
        computerGrid_->item(r, 5)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    pattern_->setText(QString::fromStdString(p.pattern));
    const tolven::RaceBets& b = day_.bets[n];
    fillList(computerQuinella_, tolven::bet_list_lines(b.computer_quinella));
    fillList(computerBracket_, tolven::shows_bracket_bets(day_, n)
                                   ? tolven::bet_list_lines(b.computer_bracket)
                                   : std::vector<std::string>{});

    // The user page: ticks drawn as "●", separators black.
    std::vector<std::vector<std::string>> user;
    for (const auto& r : tolven::user_grid(day_, n)) user.emplace_back(r.begin(), r.end());
    fillGrid(userGrid_, user);
    for (int r = 0; r < userGrid_->rowCount(); ++r) {
        int bracket = day_.bracket(n, r);
        QTableWidgetItem* first = userGrid_->item(r, 0);
        first->setBackground(rgb(tolven::bracket_colour(bracket)));
        first->setForeground(bracket == 1 || bracket == 5 ? Qt::black : Qt::white);
        userGrid_->item(r, 1)->setBackground(tip);
        userGrid_->item(r, 2)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        for (int c : {5, 8, 11}) userGrid_->item(r, c)->setBackground(Qt::black);
        for (int c = 3; c <= 14; ++c) {
            if (c == 5 || c == 8 || c == 11) continue;
            QTableWidgetItem* item = userGrid_->item(r, c);
            QString text = item->text();
            item->setData(Qt::UserRole, text);
            item->setText(text != QLatin1String("0") && !text.isEmpty() ? QStringLiteral("●")
                                                                        : QString());
            item->setData(Qt::AccessibleTextRole,
                          text == QLatin1String("1") ? QStringLiteral("●") : QStringLiteral("0"));
        }
        userGrid_->item(r, 15)->setBackground(QColor(0, 255, 0));
        userGrid_->item(r, 16)->setBackground(QColor(0, 255, 255));
        userGrid_->item(r, 16)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    std::vector<std::string> quinella, bracket;
    for (const auto& t : b.user_quinella) {
        if (!t.empty()) quinella.push_back("  " + t);
    }
    for (const auto& t : b.user_bracket) {
        if (!t.empty()) bracket.push_back("  " + t);
    }
    fillList(userQuinella_, quinella);
    fillList(userBracket_,
             tolven::shows_bracket_bets(day_, n) ? bracket : std::vector<std::string>{});
}
