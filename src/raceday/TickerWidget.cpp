#include "raceday/TickerWidget.hpp"

#include <QPainter>
#include <QTimer>

TickerWidget::TickerWidget(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(false);
    QFont f = font();
    f.setFamily(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setBold(true);
    f.setPixelSize(14);
    setFont(f);
    setMinimumHeight(22);
    setAccessibleName(QStringLiteral("ティッカー"));
    timer_ = new QTimer(this);
    timer_->setInterval(50);
    connect(timer_, &QTimer::timeout, this, &TickerWidget::step);
    x_ = width();
    timer_->start();
}

void TickerWidget::setText(const QString& text) {
    text_ = text;
    x_ = width();
    setAccessibleDescription(text);
    update();
}

void TickerWidget::step() {
    x_ -= 4;
    if (x_ + fontMetrics().horizontalAdvance(text_) < 0) x_ = width();
    update();
}

void TickerWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setClipRect(rect());
    painter.setPen(Qt::red);
    painter.drawText(x_, 2 + fontMetrics().ascent(), text_);
}
