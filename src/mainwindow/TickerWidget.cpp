#include "mainwindow/TickerWidget.hpp"

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
    timer_->start();
}

void TickerWidget::setText(const QString& text) {
    text_ = text;
    entering_ = true;
    setAccessibleDescription(text);
    update();
}

int TickerWidget::position() const {
    return entering_ ? width() : x_;
}

void TickerWidget::step() {
    // The text moves only while it can be seen, and its first pass starts at
    // the right edge of the line as laid out then (at creation the line has
    // no size yet).
    if (!isVisible()) return;
    if (entering_) x_ = width();
    entering_ = false;
    x_ -= 4;
    if (x_ + fontMetrics().horizontalAdvance(text_) < 0) x_ = width();
    update();
}

void TickerWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setClipRect(rect());
    painter.setPen(Qt::red);
    painter.drawText(position(), 2 + fontMetrics().ascent(), text_);
}
