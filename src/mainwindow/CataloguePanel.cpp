#include "mainwindow/CataloguePanel.hpp"

#include <QLabel>

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "store/catalogue.hpp"
#include "widgets/qt_text.hpp"

using tolven::qs;

CataloguePanel::CataloguePanel(std::filesystem::path dataFolder, QWidget* parent)
    : QWidget(parent), dataFolder_(std::move(dataFolder)), now_(&tolven::DateTime::now) {
    setObjectName(QStringLiteral("CataloguePanel"));
    createButtons();

    dayList_ = new QListWidget(this);
    dayList_->setObjectName(QStringLiteral("DayList"));
    dayList_->setAccessibleName(QStringLiteral("レース日一覧"));
    QFont listFont(QStringLiteral("ＭＳ ゴシック"));
    listFont.setStyleHint(QFont::TypeWriter);
    listFont.setPixelSize(13);
    dayList_->setFont(listFont);
    layout()->addWidget(dayList_);
    static_cast<QVBoxLayout*>(layout())->setStretchFactor(dayList_, 1);
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("DayListHint"));
    hint_->setWordWrap(true);
    hint_->hide();
    layout()->addWidget(hint_);
    setMinimumWidth(170);
    setMaximumWidth(230);

    // A day is chosen when an entry becomes the chosen one, by a click, the
    // arrow keys or an accessible selection; Enter, Space and a click on the
    // entry already chosen choose it again. Giving the list the focus
    // chooses nothing.
    dayList_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(dayList_, &QListWidget::itemSelectionChanged, this, &CataloguePanel::selectionChanged);
    connect(dayList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        QListWidgetItem* before = chosenAtPress_;
        chosenAtPress_ = nullptr;
        if (item != nullptr && item == before) choose(item);
    });
    dayList_->installEventFilter(this);
    dayList_->viewport()->installEventFilter(this);
}

CataloguePanel::~CataloguePanel() {
    dayList_->removeEventFilter(this);
    dayList_->viewport()->removeEventFilter(this);
}

void CataloguePanel::createButtons() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* courses = new QGroupBox(QStringLiteral("開催場所選択"), this);
    auto* grid = new QGridLayout(courses);
    grid->setSpacing(1);
    courseButtons_ = new QButtonGroup(this);
    courseButtons_->setExclusive(true);
    const auto& captions = tolven::course_filter_captions();
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
        auto* b = new QToolButton(courses);
        b->setText(QString::fromStdString(captions[static_cast<std::size_t>(i)]));
        b->setCheckable(true);
        b->setAutoRaise(false);
        b->setMinimumWidth(44);
        b->setObjectName(QStringLiteral("Basho%1").arg(i));
        courseButtons_->addButton(b, i);
        if (i == 0) {
            grid->addWidget(b, 0, 0, 1, 2);
        } else {
            grid->addWidget(b, 1 + (i - 1) / 2, (i - 1) % 2);
        }
    }
    layout->addWidget(courses);

    auto* dates = new QGroupBox(QStringLiteral("レース日選択"), this);
    auto* dateLayout = new QVBoxLayout(dates);
    dateButtons_ = new QButtonGroup(this);
    const auto& dateCaptions = tolven::date_filter_captions();
    for (int i = 0; i < static_cast<int>(dateCaptions.size()); ++i) {
        auto* r = new QRadioButton(
            QString::fromStdString(dateCaptions[static_cast<std::size_t>(i)]), dates);
        r->setObjectName(QStringLiteral("Hiduke%1").arg(i));
        dateButtons_->addButton(r, i);
        dateLayout->addWidget(r);
    }
    layout->addWidget(dates);

    // The list follows the buttons whenever one goes down, by mouse, key or
    // an accessible action. A click on the button already down rebuilds it
    // too: day files may have come in since.
    for (QButtonGroup* group : {courseButtons_, dateButtons_}) {
        connect(group, &QButtonGroup::idToggled, this, [this](int, bool down) {
            if (down) rebuild();
        });
        connect(group, &QButtonGroup::idPressed, this,
                [this, group](int id) { downAtPress_ = group->button(id)->isChecked(); });
        connect(group, &QButtonGroup::idClicked, this, [this] {
            if (downAtPress_) rebuild();
            downAtPress_ = false;
        });
    }
}

void CataloguePanel::setClock(std::function<tolven::DateTime()> now) {
    now_ = std::move(now);
}

int CataloguePanel::courseIndex() const {
    return courseButtons_->checkedId();
}
int CataloguePanel::dateIndex() const {
    return dateButtons_->checkedId();
}
void CataloguePanel::setCourseIndex(int index) {
    if (auto* b = courseButtons_->button(index)) b->setChecked(true);
}
void CataloguePanel::setDateIndex(int index) {
    if (auto* b = dateButtons_->button(index)) b->setChecked(true);
}

void CataloguePanel::rebuild() {
    QScopedValueRollback<bool> quiet(quiet_, true);
    chosenAtPress_ = nullptr;
    dayList_->clear();
    auto days = tolven::list_race_days(dataFolder_,
                                       static_cast<tolven::DateFilter>(std::max(0, dateIndex())),
                                       std::max(0, courseIndex()), now_());
    for (const auto& day : days) dayList_->addItem(qs(day));
    showHint(days.empty());
}

void CataloguePanel::showHint(bool listEmpty) {
    // Under an empty list: whether the store has no day at all or only none
    // that matches the buttons, and what to do about it.
    QString text;
    if (listEmpty) {
        bool storeEmpty =
            tolven::list_race_days(dataFolder_, tolven::DateFilter::Any, 0, now_()).empty();
        text = storeEmpty ? QStringLiteral("レース日のデータがありません。ツールバーの「JVデータ取得」で"
                                           "データを取り込んでください。")
                          : QStringLiteral("この条件のレース日はありません。「日付の指定なし」や「全場」で"
                                           "ほかのレース日を表示できます。");
    }
    hint_->setText(text);
    hint_->setVisible(!text.isEmpty());
}

QString CataloguePanel::currentEntry() const {
    QListWidgetItem* item = dayList_->currentItem();
    return item != nullptr ? item->text() : QString();
}

QStringList CataloguePanel::entries() const {
    QStringList all;
    for (int i = 0; i < dayList_->count(); ++i) all << dayList_->item(i)->text();
    return all;
}

void CataloguePanel::follow(const QString& entry) {
    QList<QListWidgetItem*> found = dayList_->findItems(entry, Qt::MatchExactly);
    if (found.isEmpty()) return;
    QScopedValueRollback<bool> quiet(quiet_, true);
    dayList_->setCurrentItem(found.first());
}

bool CataloguePanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dayList_->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        QListWidgetItem* at = dayList_->itemAt(press->position().toPoint());
        chosenAtPress_ = at != nullptr && at->isSelected() ? at : nullptr;
    } else if (watched == dayList_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool again = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                     key->key() == Qt::Key_Space;
        QListWidgetItem* item = dayList_->currentItem();
        if (again && key->modifiers() == Qt::NoModifier && item != nullptr) {
            if (item->isSelected()) {
                choose(item);
            } else {
                dayList_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CataloguePanel::selectionChanged() {
    if (quiet_) return;
    QList<QListWidgetItem*> chosen = dayList_->selectedItems();
    if (chosen.isEmpty()) return;
    QListWidgetItem* item = chosen.first();
    if (dayList_->currentItem() != item) {
        // An accessible selection leaves the keyboard position behind.
        QSignalBlocker quiet(dayList_);
        dayList_->setCurrentItem(item, QItemSelectionModel::NoUpdate);
    }
    choose(item);
}

void CataloguePanel::choose(QListWidgetItem* item) {
    if (item == nullptr) return;
    // The loaded day's views come up and take the focus; a person who chose
    // the day in the list (by a click or a key) keeps walking the list with
    // the arrow keys.
    bool hadFocus = window()->focusWidget() == dayList_;
    emit dayChosen(item->text());
    if (hadFocus && dayList_->isVisible()) dayList_->setFocus(Qt::OtherFocusReason);
}
