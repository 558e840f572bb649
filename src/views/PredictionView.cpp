#include "views/PredictionView.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

#include "layouts/view_tables.hpp"
#include "model/race_header.hpp"
#include "prediction/user_prediction.hpp"
#include "views/UserPredictionGrid.hpp"
#include "widgets/error_boundary.hpp"

using tolven::qs;

namespace {

const QString kPatternName = QStringLiteral("ﾊﾟﾀｰﾝ");

// The pattern box as assistive technology sees it: named "ﾊﾟﾀｰﾝ", its value
// the letter shown.
class PatternAccessible : public QAccessibleWidget {
  public:
    explicit PatternAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return kPatternName;
        if (t == QAccessible::Value) return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* patternAccessible(const QString&, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    if (label != nullptr && label->objectName() == QLatin1String("PatternBox"))
        return new PatternAccessible(label);
    return nullptr;
}

QFont gothic(int pixels, bool bold) {
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setBold(bold);
    font.setPixelSize(pixels);
    return font;
}

// A bet list: as wide as its longest line ("  12-13") beside a scroll bar,
// never scrolled sideways; it takes the height of the nine slots where the page has it, and
// scrolls only when the window is made smaller than that (tiled views).
QListWidget* betList(QWidget* parent, const QString& name) {
    auto* list = new QListWidget(parent);
    list->setFont(gothic(15, true));
    list->setAccessibleName(name);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QFontMetrics metrics(list->font());
    int margin = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    // Room for the scroll bar too, so a list that has to scroll in a small
    // view still shows its bets whole.
    int scrollBar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->setFixedWidth(metrics.horizontalAdvance(QString(7, QLatin1Char('0'))) + margin +
                        2 * list->frameWidth() + 2 + scrollBar);
    list->setMinimumHeight(2 * (metrics.height() + 2) + 2 * list->frameWidth());
    list->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    return list;
}

// The two bet lists under their headings "馬連" and "枠連": side by side,
// or one above the other where the page has no room beside its grid.
QWidget* betLists(QWidget* parent, const QString& owner, Qt::Orientation orientation,
                  QListWidget*& quinella, QListWidget*& bracket) {
    auto* box = new QWidget(parent);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    quinella = betList(box, owner + QStringLiteral(" 馬連"));
    bracket = betList(box, owner + QStringLiteral(" 枠連"));
    auto* quinellaTitle = new QLabel(QStringLiteral("馬連"), box);
    auto* bracketTitle = new QLabel(QStringLiteral("枠連"), box);
    for (QLabel* title : {quinellaTitle, bracketTitle}) title->setAlignment(Qt::AlignCenter);
    if (orientation == Qt::Horizontal) {
        grid->addWidget(quinellaTitle, 0, 0);
        grid->addWidget(bracketTitle, 0, 1);
        grid->addWidget(quinella, 1, 0);
        grid->addWidget(bracket, 1, 1);
        grid->setRowStretch(1, 1);
    } else {
        grid->addWidget(quinellaTitle, 0, 0);
        grid->addWidget(quinella, 1, 0);
        grid->addWidget(bracketTitle, 2, 0);
        grid->addWidget(bracket, 3, 0);
        grid->setRowStretch(4, 1);
    }
    return box;
}

void fillList(QListWidget* list, const std::vector<std::string>& lines) {
    while (list->count() > static_cast<int>(lines.size())) delete list->takeItem(list->count() - 1);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        QString text = tolven::qs(lines[i]);
        if (QListWidgetItem* item = list->item(static_cast<int>(i))) {
            if (item->text() != text) item->setText(text);
        } else {
            list->addItem(text);
        }
    }
}

bool isSeparator(int column) {
    return column == 5 || column == 8 || column == 11;
}
bool isTick(int column) {
    return column >= 3 && column <= 14 && !isSeparator(column);
}

}  // namespace

PredictionView::PredictionView(const tolven::RaceDay& day, QWidget* parent)
    : RaceView(QStringLiteral("予想表"), day, parent) {
    static const bool factory = [] {
        QAccessible::installFactory(patternAccessible);
        return true;
    }();
    (void)factory;

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
    // Computer page: the grid, then the pattern and the computer bets.
    auto* computer = new QWidget(pages_);
    auto* computerLayout = new QHBoxLayout(computer);
    computerLayout->setContentsMargins(4, 4, 4, 4);
    computerGrid_ = makeGrid(computer, {25, 25, 30, 172, 70, 80}, {1, 2, 2, 18, 2, 7});
    computerGrid_->setObjectName(QStringLiteral("ComputerGrid"));
    computerGrid_->setAccessibleName(QStringLiteral("コンピュータ予想表"));
    computerGrid_->setToolTip(
        QStringLiteral("表示は左から枠番、馬番、印、馬名、能力順位、能力指数です"));
    computerLayout->addWidget(computerGrid_, 1);
    auto* side = new QVBoxLayout;
    auto* patternRow = new QHBoxLayout;
    auto* patternCaption = new QLabel(QStringLiteral("ﾊﾟﾀｰﾝ："), computer);
    patternRow->addWidget(patternCaption);
    pattern_ = new QLabel(computer);
    pattern_->setObjectName(QStringLiteral("PatternBox"));
    pattern_->setAlignment(Qt::AlignCenter);
    pattern_->setFixedSize(40, 28);
    pattern_->setAutoFillBackground(true);
    QPalette patternColours = pattern_->palette();
    patternColours.setColor(QPalette::Window, Qt::yellow);
    patternColours.setColor(QPalette::WindowText, Qt::blue);
    pattern_->setPalette(patternColours);
    pattern_->setFont(gothic(18, true));
    pattern_->setAccessibleName(kPatternName);
    patternCaption->setBuddy(pattern_);
    patternRow->addWidget(pattern_);
    patternRow->addStretch(1);
    side->addLayout(patternRow);
    side->addWidget(betLists(computer, QStringLiteral("コンピュータ予想"), Qt::Horizontal,
                             computerQuinella_, computerBracket_),
                    1);
    computerLayout->addLayout(side);
    pages_->addTab(computer, QStringLiteral("コンピュータ予想表"));

    // User page: the check-item grid, and the user bets beside it.
    auto* user = new QWidget(pages_);
    auto* userLayout = new QHBoxLayout(user);
    userLayout->setContentsMargins(4, 4, 4, 4);
    userGrid_ = new UserPredictionGrid(user);
    userGrid_->setObjectName(QStringLiteral("UserGrid"));
    userGrid_->setAccessibleName(QStringLiteral("ユーザー予想表"));
    userGrid_->setColumnCount(tolven::kUserGridColumns);
    userGrid_->verticalHeader()->setVisible(false);
    userGrid_->verticalHeader()->setMinimumSectionSize(0);
    userGrid_->verticalHeader()->setDefaultSectionSize(20);
    userGrid_->horizontalHeader()->setMinimumSectionSize(0);
    userGrid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    userGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    userGrid_->setWordWrap(false);
    userGrid_->setFont(gothic(15, true));
    userGrid_->horizontalHeader()->setFont(gothic(12, true));
    userGrid_->setSeparatorColumns({5, 8, 11});
    QStringList titles;
    for (const char* t : tolven::user_grid_titles()) titles << QString::fromUtf8(t);
    userGrid_->setHorizontalHeaderLabels(titles);
    fitColumns(userGrid_, {25, 25, 140, 30, 30, 1, 30, 30, 1, 30, 30, 1, 30, 30, 30, 30, 70},
               {1, 2, 18, 2, 2, 0, 2, 2, 0, 2, 2, 0, 2, 2, 2, 2, 7});
    // The titles fit their columns too.
    QFontMetrics titleMetrics(userGrid_->horizontalHeader()->font());
    int titleMargin =
        2 * userGrid_->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, userGrid_) + 1;
    for (int c = 0; c < tolven::kUserGridColumns; ++c) {
        int needed = titleMetrics.horizontalAdvance(titles[c]) + titleMargin;
        if (!titles[c].isEmpty() && userGrid_->columnWidth(c) < needed)
            userGrid_->setColumnWidth(c, needed);
    }
    userLayout->addWidget(userGrid_, 1);
    userLayout->addWidget(
        betLists(user, QStringLiteral("ユーザー予想"), Qt::Vertical, userQuinella_, userBracket_));
    pages_->addTab(user, QStringLiteral("ユーザー予想表"));
    content()->addWidget(pages_, 1);

    connect(pages_, &QTabWidget::currentChanged, this, &PredictionView::showPage);
    connect(userGrid_, &UserPredictionGrid::cellActivated, this,
            [this](int row, int column) { clickUserCell(row + 1, column); });
}

QTableWidget* PredictionView::userGrid() const {
    return userGrid_;
}

void PredictionView::clickUserCell(int row, int column) {
    int n = currentRace();
    if (n < 0 || n >= day_.race_count) return;
    // The tick is kept in memory when the user file cannot be written; the
    // file is written again with the next tick or when the program closes.
    tolven::guarded(this, QStringLiteral("予想を保存できませんでした。"), [&] {
        if (onToggleCheckItem) onToggleCheckItem(n, row, column);
    });
    // The race is shown again: only the user page changes.
    race_ = n;
    pageStale_[1] = true;
    showPage(pages_->currentIndex());
}

void PredictionView::showRace(int n) {
    setHeader(n, tolven::race_header(day_.race[n]).title);
    race_ = n;
    pageStale_ = {true, true};
    showPage(pages_->currentIndex());
}

void PredictionView::showPage(int page) {
    if (race_ < 0 || race_ >= day_.race_count || page < 0 || page > 1) return;
    if (!pageStale_[static_cast<std::size_t>(page)]) return;
    pageStale_[static_cast<std::size_t>(page)] = false;
    if (page == 0) {
        showComputerPage(race_);
    } else {
        showUserPage(race_);
    }
}

void PredictionView::showComputerPage(int n) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& r : tolven::computer_prediction_rows(day_, n))
        rows.emplace_back(r.begin(), r.end());
    fillGrid(computerGrid_, rows);
    QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    for (int r = 0; r < computerGrid_->rowCount(); ++r) {
        computerGrid_->item(r, 0)->setBackground(rgb(tolven::bracket_colour(day_.bracket(n, r))));
        computerGrid_->item(r, 0)->setForeground(rgb(tolven::bracket_text_colour(day_.bracket(n, r))));
        computerGrid_->item(r, 1)->setBackground(tip);
        computerGrid_->item(r, 3)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        computerGrid_->item(r, 4)->setBackground(QColor(0, 255, 0));
        computerGrid_->item(r, 5)->setBackground(QColor(0, 255, 255));
        computerGrid_->item(r, 5)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    QString letter = QString::fromStdString(std::string(tolven::pattern_letter(day_.prediction[n].pattern)));
    if (pattern_->text() != letter) {
        pattern_->setText(letter);
        QAccessibleValueChangeEvent changed(pattern_, letter);
        QAccessible::updateAccessibility(&changed);
    }
    const tolven::RaceBets& b = day_.bets[n];
    fillList(computerQuinella_, tolven::bet_list_lines(b.computer_quinella));
    fillList(computerBracket_, day_.bracket_quinella_sold(n)
                                   ? tolven::bet_list_lines(b.computer_bracket)
                                   : std::vector<std::string>{});
}

void PredictionView::showUserPage(int n) {
    // Ticks are shown as "●"; the grid keeps the "1"/"0" of the user file
    // as the item's data, and its check state for assistive technology.
    std::vector<tolven::UserGridRow> grid = tolven::user_grid(day_, n);
    std::vector<std::vector<std::string>> rows;
    rows.reserve(grid.size());
    static const std::string dot = tolven::sj("●");
    for (const auto& r : grid) {
        std::vector<std::string> cells(r.begin(), r.end());
        for (int c = 3; c <= 14; ++c) {
            std::string& cell = cells[static_cast<std::size_t>(c)];
            if (isTick(c)) cell = cell != "0" && !cell.empty() ? dot : std::string();
        }
        rows.push_back(std::move(cells));
    }
    fillGrid(userGrid_, rows);
    QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    for (int r = 0; r < userGrid_->rowCount(); ++r) {
        int bracket = day_.bracket(n, r);
        QTableWidgetItem* first = userGrid_->item(r, 0);
        first->setBackground(rgb(tolven::bracket_colour(bracket)));
        first->setForeground(rgb(tolven::bracket_text_colour(bracket)));
        userGrid_->item(r, 1)->setBackground(tip);
        userGrid_->item(r, 2)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        for (int c = 3; c <= 14; ++c) {
            QTableWidgetItem* item = userGrid_->item(r, c);
            if (isSeparator(c)) {
                item->setBackground(Qt::black);
                continue;
            }
            const std::string& tick =
                grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setData(Qt::UserRole, QString::fromStdString(tick));
            item->setData(Qt::AccessibleTextRole, userGrid_->horizontalHeaderItem(c)->text());
            Qt::CheckState checked = item->text().isEmpty() ? Qt::Unchecked : Qt::Checked;
            bool changed = item->data(Qt::CheckStateRole).isValid() && item->checkState() != checked;
            item->setData(Qt::CheckStateRole, checked);
            if (changed) announceCell(userGrid_, r, c, true);
        }
        userGrid_->item(r, 15)->setBackground(QColor(0, 255, 0));
        userGrid_->item(r, 16)->setBackground(QColor(0, 255, 255));
        userGrid_->item(r, 16)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    const tolven::RaceBets& b = day_.bets[n];
    fillList(userQuinella_, tolven::filled_bet_list_lines(b.user_quinella));
    fillList(userBracket_, day_.bracket_quinella_sold(n)
                               ? tolven::filled_bet_list_lines(b.user_bracket)
                               : std::vector<std::string>{});
}
