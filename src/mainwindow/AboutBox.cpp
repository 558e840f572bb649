#include "mainwindow/AboutBox.hpp"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/version.hpp"
#include "widgets/EffectLabel.hpp"

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("TOLVEN for JRA-VAN Data Lab."), this);
    QFont nameFont(QStringLiteral("ＭＳ Ｐゴシック"), 14, QFont::Bold);
    name->setFont(nameFont);
    layout->addWidget(name);
    auto* version = new EffectLabel(QLatin1String(tolven::kVersionLabel), this);
    version->setObjectName(QStringLiteral("VersionLabel"));
    version->setTextStyle(EffectLabel::TextEffect::tsShadow);
    version->setShift(2);
    version->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 12, QFont::Bold));
    version->setFontColor(QColor(0, 0, 128));
    version->setMinimumSize(160, 28);
    layout->addWidget(version);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
}
