#include "printing/PrintDialog.hpp"

#include <QButtonGroup>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

PrintDialog::PrintDialog(const QString& dayCaption, int races, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("印刷"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(250, 326);
    // Centred on the screen, not over the main window.
    QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) move(screen->availableGeometry().center() - rect().center());
    auto* layout = new QVBoxLayout(this);
    auto* top = new QLabel(dayCaption, this);
    top->setObjectName(QStringLiteral("DayCaption"));
    top->setAlignment(Qt::AlignCenter);
    top->setStyleSheet(
        QStringLiteral("QLabel { background: black; color: #00FF00; font-weight: bold; font-size: "
                       "13px; padding: 3px; }"));
    layout->addWidget(top);
    auto* group = new QGroupBox(QStringLiteral("印刷範囲選択"), this);
    QFont groupFont(QStringLiteral("ＭＳ ゴシック"));
    groupFont.setBold(true);
    group->setFont(groupFont);
    auto* grid = new QGridLayout(group);
    items_ = new QButtonGroup(this);
    auto add = [&](int id, const QString& text) {
        auto* r = new QRadioButton(text, group);
        items_->addButton(r, id);
        if (id == 0) {
            grid->addWidget(r, 0, 0, 1, 2);
        } else {
            grid->addWidget(r, 1 + (id - 1) / 2, (id - 1) % 2);
        }
    };
    add(0, QStringLiteral("全ﾚｰｽ一括"));
    for (int k = 1; k <= races; ++k) add(k, QStringLiteral("%1 R").arg(k));
    items_->button(0)->setChecked(true);
    layout->addWidget(group, 1);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &PrintDialog::printSelected);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int PrintDialog::selected() const {
    return items_->checkedId();
}
void PrintDialog::select(int item) {
    if (items_->button(item)) items_->button(item)->setChecked(true);
}

void PrintDialog::printSelected() {
    if (onPrint) onPrint(selected());
}
