#include "mainwindow/ResultsRecordView.hpp"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "prediction/results_record.hpp"
#include "widgets/qt_text.hpp"

using tolven::qs;

ResultsRecordView::ResultsRecordView(const tolven::RaceDay& day, QWidget* parent)
    : QWidget(parent), day_(day) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    hitsOnly_ = new QCheckBox(QStringLiteral("的中馬券"), this);
    hitsOnly_->setObjectName(QStringLiteral("HitsOnly"));
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("ResultsMemo"));
    text_->setReadOnly(true);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette p = text_->palette();
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::Text, QColor(0, 255, 0));
    text_->setPalette(p);
    QFont memoFont(QStringLiteral("ＭＳ ゴシック"));
    memoFont.setBold(true);
    memoFont.setPixelSize(12);
    text_->setFont(memoFont);
    layout->addWidget(hitsOnly_);
    layout->addWidget(text_, 1);
    // However the box is ticked: mouse, key or an accessible action.
    connect(hitsOnly_, &QCheckBox::toggled, this, [this] { refresh(loaded_); });
}

void ResultsRecordView::refresh(bool dayLoaded) {
    loaded_ = dayLoaded;
    if (!loaded_) {
        text_->clear();
        return;
    }
    QStringList lines;
    for (const auto& line : tolven::results_record(day_, hitsOnly_->isChecked())) lines << qs(line);
    text_->setPlainText(lines.join(QLatin1Char('\n')));
}
