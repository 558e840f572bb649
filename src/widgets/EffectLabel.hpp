#pragma once

#include <QColor>
#include <QWidget>

// A label that draws its caption raised, recessed or with a drop shadow,
// rotated by any angle, inside an optional flat or 3-D border, and that can
// act as a web or e-mail link.
class EffectLabel : public QWidget {
    Q_OBJECT

  public:
    enum class TextEffect {
        tsNone,
        tsRaised,
        tsLightRaised,
        tsRecessed,
        tsHeavyRecessed,
        tsShadow
    };
    enum class BorderStyle { btDefault, btRecessed, btRaised };
    enum class Elision { esNone, esEnd, esPath };
    enum class LinkKind { lsDefault, lsWWWAddress, lsEMailAddress };

    explicit EffectLabel(QWidget* parent = nullptr);
    EffectLabel(const QString& caption, QWidget* parent = nullptr);

    QString Caption() const { return caption_; }
    void setCaption(const QString& caption);

    TextEffect TextStyle() const { return textStyle_; }
    void setTextStyle(TextEffect style);
    int Shift() const { return shift_; }
    void setShift(int shift);
    int Escapement() const { return escapement_; }
    // Normalised into 0..360: -30 becomes 330, 400 becomes 40, 360 stays.
    void setEscapement(int degrees);
    bool Border() const { return border_; }
    void setBorder(bool border);
    BorderStyle BorderType() const { return borderType_; }
    void setBorderType(BorderStyle type);
    QColor BorderColor() const { return borderColor_; }
    void setBorderColor(const QColor& colour);
    int BorderWidth() const { return borderWidth_; }
    void setBorderWidth(int width);
    Qt::PenStyle BorderPenStyle() const { return borderPenStyle_; }
    void setBorderPenStyle(Qt::PenStyle style);
    Elision EllipsesStyle() const { return ellipsesStyle_; }
    void setEllipsesStyle(Elision style);
    LinkKind LabelStyle() const { return labelStyle_; }
    void setLabelStyle(LinkKind style) { labelStyle_ = style; }
    QString Address() const { return address_; }
    void setAddress(const QString& address) { address_ = address; }

    Qt::Alignment Alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);
    bool WordWrap() const { return wordWrap_; }
    void setWordWrap(bool wrap);
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool autoSize);
    bool Transparent() const { return transparent_; }
    void setTransparent(bool transparent);
    QColor Color() const { return colour_; }
    void setColor(const QColor& colour);
    QColor FontColor() const { return fontColour_; }
    void setFontColor(const QColor& colour);

    // Where the caption starts, relative to its layout position, for rotated
    // text, and the rotated box (both from the unrotated width w and height h).
    static QPoint rotatedOffset(int degrees, int w, int h);
    static QSize rotatedSize(int degrees, int w, int h);

    QSize sizeHint() const override;

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void drawCaption(QPainter& painter, const QPoint& offset, const QColor& colour);
    QString shownText() const;
    void changed();

    QString caption_;
    TextEffect textStyle_ = TextEffect::tsRaised;
    int shift_ = 1;
    int escapement_ = 0;
    bool border_ = false;
    BorderStyle borderType_ = BorderStyle::btDefault;
    QColor borderColor_ = Qt::red;
    int borderWidth_ = 1;
    Qt::PenStyle borderPenStyle_ = Qt::SolidLine;
    Elision ellipsesStyle_ = Elision::esNone;
    LinkKind labelStyle_ = LinkKind::lsDefault;
    QString address_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignTop;
    bool wordWrap_ = false;
    bool autoSize_ = false;
    bool transparent_ = false;
    QColor colour_;
    QColor fontColour_ = Qt::black;
    QColor savedFontColour_;
};
