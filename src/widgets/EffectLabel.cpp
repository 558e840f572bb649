#include "widgets/EffectLabel.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

double rad(double degrees) {
    return degrees * kPi / 180.0;
}
int toward_zero(double v) {
    return static_cast<int>(v);
}

class AccessibleEffectLabel : public QAccessibleWidget {
  public:
    explicit AccessibleEffectLabel(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name || t == QAccessible::Value) {
            return static_cast<EffectLabel*>(widget())->Caption();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* label_factory(const QString& key, QObject* object) {
    if (key == QLatin1String("EffectLabel") && object && object->isWidgetType()) {
        return new AccessibleEffectLabel(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

EffectLabel::EffectLabel(QWidget* parent) : EffectLabel(QString(), parent) {}

EffectLabel::EffectLabel(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {
    static bool registered = [] {
        QAccessible::installFactory(label_factory);
        return true;
    }();
    (void)registered;
    colour_ = palette().color(QPalette::Window);
    QFont f = font();
    f.setFamily(QStringLiteral("Arial"));
    setFont(f);
}

void EffectLabel::changed() {
    if (autoSize_) resize(sizeHint());
    update();
}

void EffectLabel::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    changed();
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void EffectLabel::setTextStyle(TextEffect style) {
    if (style == textStyle_) return;
    textStyle_ = style;
    update();
}

void EffectLabel::setShift(int shift) {
    shift_ = shift;
    update();
}

void EffectLabel::setEscapement(int degrees) {
    while (degrees < 0) degrees += 360;
    while (degrees > 360) degrees -= 360;
    if (degrees == escapement_) return;
    escapement_ = degrees;
    changed();
}

void EffectLabel::setBorder(bool border) {
    border_ = border;
    update();
}
void EffectLabel::setBorderType(BorderStyle type) {
    borderType_ = type;
    update();
}
void EffectLabel::setBorderColor(const QColor& colour) {
    borderColor_ = colour;
    update();
}
void EffectLabel::setBorderWidth(int width) {
    borderWidth_ = width;
    update();
}
void EffectLabel::setBorderPenStyle(Qt::PenStyle style) {
    borderPenStyle_ = style;
    update();
}
void EffectLabel::setEllipsesStyle(Elision style) {
    ellipsesStyle_ = style;
    if (style != Elision::esNone) autoSize_ = false;
    update();
}
void EffectLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}
void EffectLabel::setWordWrap(bool wrap) {
    wordWrap_ = wrap;
    changed();
}
void EffectLabel::setAutoSize(bool autoSize) {
    autoSize_ = autoSize && ellipsesStyle_ == Elision::esNone;
    changed();
}
void EffectLabel::setTransparent(bool transparent) {
    transparent_ = transparent;
    update();
}
void EffectLabel::setColor(const QColor& colour) {
    colour_ = colour;
    update();
}
void EffectLabel::setFontColor(const QColor& colour) {
    fontColour_ = colour;
    update();
}

QString EffectLabel::shownText() const {
    // An empty caption, or one that is just the accelerator "&", measures as
    // one blank.
    if (caption_.isEmpty() || caption_ == QLatin1String("&")) return QStringLiteral(" ");
    QString text = caption_;
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

QPoint EffectLabel::rotatedOffset(int a, int w, int h) {
    if (a > 0 && a <= 90) return {0, toward_zero(w * std::sin(rad(a)))};
    if (a > 90 && a <= 180) {
        return {toward_zero(-w * std::cos(rad(a))),
                toward_zero(h * std::cos(rad(180 - a)) + w * std::sin(rad(a)))};
    }
    if (a > 180 && a <= 270) {
        return {toward_zero(h * std::sin(rad(a - 180)) - w * std::cos(rad(a))),
                toward_zero(h * std::sin(rad(270 - a)))};
    }
    if (a > 270 && a <= 360) return {toward_zero(h * std::sin(rad(360 - a))), 0};
    return {0, 0};
}

QSize EffectLabel::rotatedSize(int a, int w, int h) {
    return {
        toward_zero(std::abs(w * std::cos(rad(a)))) + toward_zero(std::abs(h * std::sin(rad(a)))),
        toward_zero(std::abs(w * std::sin(rad(a)))) + toward_zero(std::abs(h * std::cos(rad(a))))};
}

QSize EffectLabel::sizeHint() const {
    QFontMetrics m(font());
    QRect r = m.boundingRect(QRect(0, 0, wordWrap_ ? width() : 10000, 10000),
                             Qt::TextExpandTabs | (wordWrap_ ? Qt::TextWordWrap : 0), shownText());
    if (escapement_ != 0) return rotatedSize(escapement_, r.width(), r.height());
    return r.size() + QSize(2, 2);
}

void EffectLabel::drawCaption(QPainter& painter, const QPoint& offset, const QColor& colour) {
    painter.setPen(colour);
    QString text = shownText();
    if (escapement_ == 0) {
        QRect area = rect().translated(offset);
        int flags = static_cast<int>(alignment_) | Qt::TextExpandTabs;
        if (wordWrap_) flags |= Qt::TextWordWrap;
        if (ellipsesStyle_ != Elision::esNone) {
            Qt::TextElideMode mode =
                ellipsesStyle_ == Elision::esEnd ? Qt::ElideRight : Qt::ElideMiddle;
            text = painter.fontMetrics().elidedText(text, mode, area.width());
        }
        painter.drawText(area, flags, text);
        return;
    }
    QFontMetrics m(font());
    int w = m.horizontalAdvance(text);
    int h = m.height();
    QPoint start = rotatedOffset(escapement_, w, h);
    QSize box = rotatedSize(escapement_, w, h);
    if (!autoSize_) {
        if (alignment_ & Qt::AlignHCenter) start.rx() += (width() - box.width()) / 2;
        if (alignment_ & Qt::AlignRight) start.rx() += width() - box.width();
    }
    painter.save();
    painter.translate(start + offset);
    painter.rotate(-escapement_);
    painter.drawText(0, m.ascent(), text);
    painter.restore();
}

void EffectLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    if (!transparent_) painter.fillRect(rect(), colour_);
    if (border_ && borderWidth_ > 0) {
        QRect r(0, 0, width() - 1, height() - 1);
        if (borderType_ == BorderStyle::btDefault) {
            painter.setPen(QPen(borderColor_, borderWidth_, borderPenStyle_));
            painter.drawRect(r);
        } else {
            QColor grey(128, 128, 128), white(255, 255, 255);
            bool recessed = borderType_ == BorderStyle::btRecessed;
            painter.setPen(recessed ? grey : white);
            painter.drawLine(r.topLeft(), r.topRight());
            painter.drawLine(r.topLeft(), r.bottomLeft());
            painter.setPen(recessed ? white : grey);
            painter.drawLine(r.bottomLeft(), r.bottomRight());
            painter.drawLine(r.topRight(), r.bottomRight());
        }
    }
    QColor dark = palette().color(QPalette::Dark);
    QColor light = palette().color(QPalette::Light);
    switch (textStyle_) {
        case TextEffect::tsNone:
            break;
        case TextEffect::tsRaised:
            drawCaption(painter, {1, 1}, dark);
            break;
        case TextEffect::tsLightRaised:
            drawCaption(painter, {1, 1}, dark);
            drawCaption(painter, {-1, -1}, light);
            break;
        case TextEffect::tsRecessed:
            drawCaption(painter, {1, 1}, light);
            break;
        case TextEffect::tsHeavyRecessed:
            drawCaption(painter, {1, 1}, light);
            drawCaption(painter, {-1, -1}, dark);
            break;
        case TextEffect::tsShadow:
            drawCaption(painter, {shift_, shift_}, dark);
            break;
    }
    drawCaption(
        painter, {0, 0},
        isEnabled() ? fontColour_ : palette().color(QPalette::Disabled, QPalette::WindowText));
}

void EffectLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        if (labelStyle_ != LinkKind::lsDefault && !address_.isEmpty()) {
            setCursor(Qt::WaitCursor);
            QUrl url = labelStyle_ == LinkKind::lsEMailAddress
                           ? QUrl(QStringLiteral("mailto:") + address_)
                           : QUrl::fromUserInput(address_);
            QDesktopServices::openUrl(url);
            setCursor(Qt::PointingHandCursor);
        }
        emit clicked();
    }
    QWidget::mouseReleaseEvent(event);
}

void EffectLabel::enterEvent(QEnterEvent* event) {
    if (labelStyle_ != LinkKind::lsDefault) {
        savedFontColour_ = fontColour_;
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
        setCursor(Qt::PointingHandCursor);
        fontColour_ = Qt::red;
        update();
    }
    QWidget::enterEvent(event);
}

void EffectLabel::leaveEvent(QEvent* event) {
    if (labelStyle_ != LinkKind::lsDefault) {
        unsetCursor();
        QFont f = font();
        f.setUnderline(false);
        setFont(f);
        fontColour_ = savedFontColour_;
        update();
    }
    QWidget::leaveEvent(event);
}
