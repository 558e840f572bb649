#include "windows/InvestmentDialog.hpp"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "widgets/NumberEdit.hpp"

InvestmentDialog::InvestmentDialog(tolven::FundAllocation& money, QWidget* parent)
    : QDialog(parent), money_(money) {
    setWindowTitle(QStringLiteral("投資金額入力"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(205, 311);
    QFont base(QStringLiteral("ＭＳ Ｐゴシック"), 9);
    setFont(base);
    auto* prompt = new QLabel(QStringLiteral("各レースの投資金額を入力してください。"), this);
    prompt->setGeometry(0, 2, 205, 16);
    QFont labelFont(QStringLiteral("ＭＳ Ｐゴシック"));
    labelFont.setBold(true);
    labelFont.setPixelSize(15);
    QFont fieldFont(QStringLiteral("ＭＳ Ｐゴシック"));
    fieldFont.setPixelSize(13);
    for (int i = 1; i <= tolven::kMaxRaces; ++i) {
        int y = 20 + 20 * (i - 1);
        auto* label = new QLabel(QStringLiteral("%1R").arg(i), this);
        label->setFont(labelFont);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(10, y, 47, 20);
        auto* edit = new NumberEdit(this);
        edit->setObjectName(QStringLiteral("NValEdit%1").arg(i));
        edit->setAccessibleName(QStringLiteral("%1R").arg(i));
        edit->setIntegerLength(7);
        edit->setDecimalLength(0);
        edit->setMinus(false);
        edit->setEnterFocusMove(true);
        edit->setArrowFocusMove(true);
        edit->setFont(fieldFont);
        edit->setGeometry(68, y, 105, 20);
        fields_[static_cast<std::size_t>(i - 1)] = edit;
    }
    for (int i = 1; i < tolven::kMaxRaces; ++i)
        setTabOrder(fields_[static_cast<std::size_t>(i - 1)], fields_[static_cast<std::size_t>(i)]);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(24, 274, 75, 25);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(112, 274, 75, 25);
    connect(ok, &QPushButton::clicked, this, &InvestmentDialog::applyAmounts);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Wide enough for a window manager's title bar to show the whole title
    // beside its icon and buttons; the designed contents stay centred.
    int wide = std::max(width(), titleBarWidthNeeded(windowTitle()));
    int shift = (wide - width()) / 2;
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->move(child->pos() + QPoint(shift, 0));
    setFixedSize(wide, height());
}

int InvestmentDialog::titleBarWidthNeeded(const QString& title) {
    // The title in the title-bar font, an icon and three buttons of about
    // the bar's height each, and margins.
    QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    int button = std::max(24, metrics.height() + 8);
    return metrics.horizontalAdvance(title) + 4 * button + 40;
}

int InvestmentDialog::showCentred() {
    if (loaded_ != money_.recomputations()) loadFields();
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    return exec();
}

void InvestmentDialog::loadFields() {
    loaded_ = money_.recomputations();
    for (int i = 0; i < tolven::kMaxRaces; ++i) {
        const tolven::InvestmentField& f = money_.fields()[static_cast<std::size_t>(i)];
        NumberEdit* edit = fields_[static_cast<std::size_t>(i)];
        edit->setText(QString::fromStdString(f.text));
        edit->setEnabled(f.armed);
        edit->setColor(f.armed ? QColor(Qt::white) : QColor(128, 128, 128));
    }
}

void InvestmentDialog::applyAmounts() {
    for (int i = 0; i < tolven::kMaxRaces; ++i) {
        tolven::InvestmentField& f = money_.fields()[static_cast<std::size_t>(i)];
        if (f.armed) f.text = fields_[static_cast<std::size_t>(i)]->Text().toStdString();
    }
    emit investmentsEntered();
    accept();
}
