#include "widgets/NumberEdit.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include "widgets/qt_text.hpp"

using tolven::cp;
using tolven::qs;

namespace {

class AccessibleNumEdit : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit AccessibleNumEdit(QWidget* w) : QAccessibleWidget(w, QAccessible::EditableText) {}
    NumberEdit* edit() const { return static_cast<NumberEdit*>(widget()); }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return edit()->Text();
        if (t == QAccessible::Name && !edit()->accessibleName().isEmpty()) {
            return edit()->accessibleName();
        }
        if (t == QAccessible::Name) return edit()->displayText();
        return QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return edit()->Text().toDouble(); }
    void setCurrentValue(const QVariant& value) override { edit()->setText(value.toString()); }
    QVariant maximumValue() const override { return QVariant(); }
    QVariant minimumValue() const override { return QVariant(); }
    QVariant minimumStepSize() const override { return 1; }
};

QAccessibleInterface* num_edit_factory(const QString& key, QObject* object) {
    if (key == QLatin1String("NumberEdit") && object && object->isWidgetType()) {
        return new AccessibleNumEdit(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

NumberEdit::NumberEdit(QWidget* parent) : QWidget(parent) {
    static bool registered = [] {
        QAccessible::installFactory(num_edit_factory);
        return true;
    }();
    (void)registered;
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    disabledColour_ = palette().color(QPalette::Disabled, QPalette::Text);
    resize(121, 20);
}

QString NumberEdit::Text() const {
    return qs(value_);
}
QString NumberEdit::displayText() const {
    return qs(tolven::display_numeric(value_, format_));
}

void NumberEdit::setText(const QString& text) {
    std::string filtered = tolven::normalise_numeric(tolven::filter_numeric(cp(text), format_));
    if (filtered == value_) return;
    value_ = filtered;
    update();
}

void NumberEdit::refilter() {
    value_ = tolven::normalise_numeric(tolven::filter_numeric(value_, format_));
    update();
}

void NumberEdit::setIntegerLength(int n) {
    if (n < 0) return;
    format_.integer_length = n;
    refilter();
}
void NumberEdit::setDecimalLength(int n) {
    if (n < 0) return;
    format_.decimal_length = n;
    refilter();
}
void NumberEdit::setMinus(bool on) {
    format_.minus = on;
    refilter();
}
void NumberEdit::setComma(bool on) {
    format_.comma = on;
    update();
}
void NumberEdit::setDecimalFixed(bool on) {
    format_.decimal_fixed = on;
    update();
}
void NumberEdit::setIntegerFixed(bool on) {
    format_.integer_fixed = on;
    update();
}
void NumberEdit::setLeftMark(const QString& mark) {
    leftMark_ = mark;
    update();
}
void NumberEdit::setRightMark(const QString& mark) {
    rightMark_ = mark;
    update();
}
void NumberEdit::setAlignment(Qt::Alignment a) {
    alignment_ = a;
    update();
}
void NumberEdit::setColor(const QColor& c) {
    colour_ = c;
    update();
}
void NumberEdit::setDisabledColor(const QColor& c) {
    disabledColour_ = c;
    update();
}

void NumberEdit::refuse() {
    ++refusals_;
    if (errorBeep_) QApplication::beep();
}

int NumberEdit::markedWidth(const QString& text) const {
    QFontMetrics m(font());
    int w = m.horizontalAdvance(text);
    if (!leftMark_.isEmpty()) w += m.horizontalAdvance(leftMark_);
    if (!rightMark_.isEmpty()) w += m.horizontalAdvance(rightMark_);
    return w;
}

bool NumberEdit::fits(const std::string& value) const {
    if (!(options_ & static_cast<int>(Option::eoORInputStop))) return true;
    int available = width() - 2 * margin_ - 2 * 2;
    return markedWidth(qs(tolven::display_numeric(value, format_))) <= available;
}

void NumberEdit::commit(const std::string& value) {
    undoValue_ = value_;
    undoAvailable_ = true;
    value_ = value;
    modified_ = true;
    update();
    QAccessibleValueChangeEvent event(this, Text());
    QAccessible::updateAccessibility(&event);
    emit OnChange();
}

void NumberEdit::Clear() {
    undoValue_ = value_;
    undoAvailable_ = true;
    value_.clear();
    selected_ = false;
    modified_ = false;
    update();
}

void NumberEdit::SelectAll() {
    selected_ = true;
    update();
}

void NumberEdit::Deselect() {
    selected_ = false;
    update();
}

void NumberEdit::CopyToClipboard() {
    if (!selected_) return;
    QApplication::clipboard()->setText(imageCopy_ ? leftMark_ + displayText() + rightMark_
                                                  : Text());
}

void NumberEdit::CutToClipboard() {
    if (!selected_ || readOnly_) return;
    CopyToClipboard();
    Clear();
    emit OnChange();
}

void NumberEdit::PasteFromClipboard() {
    QString clip = QApplication::clipboard()->text();
    if (clip.isEmpty() || readOnly_) return;
    std::string source = selected_ ? cp(clip) : value_ + cp(clip);
    undoValue_ = value_;
    undoAvailable_ = true;
    value_ = tolven::normalise_numeric(tolven::filter_numeric(source, format_));
    selected_ = false;
    update();
    emit OnChange();
}

void NumberEdit::Undo() {
    if (!undoAvailable_ || readOnly_) return;
    std::swap(value_, undoValue_);
    selected_ = true;
    update();
    emit OnChange();
}

bool NumberEdit::focusNextPrevChild(bool next) {
    return QWidget::focusNextPrevChild(next);
}

void NumberEdit::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    switch (event->key()) {
        case Qt::Key_A:
            if (ctrl) return SelectAll();
            break;
        case Qt::Key_C:
            if (ctrl) return CopyToClipboard();
            break;
        case Qt::Key_V:
            if (ctrl) return readOnly_ ? void() : PasteFromClipboard();
            break;
        case Qt::Key_X:
            if (ctrl) return readOnly_ ? void() : CutToClipboard();
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (shift) return SelectAll();
            return Deselect();
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Home:
            return Deselect();
        case Qt::Key_Up:
            Deselect();
            if (arrowFocusMove_ && (options_ & static_cast<int>(Option::eoArrowUp))) {
                focusNextPrevChild(false);
            }
            return;
        case Qt::Key_Down:
            Deselect();
            if (arrowFocusMove_ && (options_ & static_cast<int>(Option::eoArrowDown))) {
                focusNextPrevChild(true);
            }
            return;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            if (readOnly_ || value_.empty()) return;
            if (selected_) {
                Clear();
                emit OnChange();
                return;
            }
            return commit(tolven::erase_numeric(value_));
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (enterFocusMove_) {
                focusNextPrevChild(true);
            } else {
                refuse();
            }
            return;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return QWidget::keyPressEvent(event);
        default:
            break;
    }
    QString text = event->text();
    if (text.isEmpty() || ctrl) return;
    if (readOnly_) return refuse();
    char key = text.size() == 1 ? text.at(0).toLatin1() : '\0';
    std::string value = value_;
    if (key >= '0' && key <= '9') {
        if (selected_) value.clear();
    } else if (key == '.') {
        if (format_.decimal_length <= 0 || value.find('.') != std::string::npos) return refuse();
        if (selected_) value.clear();
    } else if (key != '-') {
        return refuse();
    }
    if (!tolven::type_numeric(value, key, format_) || !fits(value)) return refuse();
    selected_ = false;
    commit(value);
}

void NumberEdit::focusInEvent(QFocusEvent* event) {
    if (autoSelect_) selected_ = true;
    update();
    QWidget::focusInEvent(event);
}

void NumberEdit::focusOutEvent(QFocusEvent* event) {
    if (value_ == "-" && !(options_ & static_cast<int>(Option::eoMinusOnly))) value_.clear();
    if (hideSelection_) selected_ = false;
    update();
    QWidget::focusOutEvent(event);
}

void NumberEdit::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

void NumberEdit::contextMenuEvent(QContextMenuEvent* event) {
    setFocus(Qt::OtherFocusReason);
    QMenu menu(this);
    QAction* undo = menu.addAction(QStringLiteral("元に戻す(&U)"), this, &NumberEdit::Undo);
    undo->setEnabled(undoAvailable_ && !readOnly_);
    menu.addSeparator();
    menu.addAction(QStringLiteral("切り取り(&T)"), this, &NumberEdit::CutToClipboard)
        ->setEnabled(selected_ && !readOnly_);
    menu.addAction(QStringLiteral("コピー(&C)"), this, &NumberEdit::CopyToClipboard)
        ->setEnabled(selected_);
    menu.addAction(QStringLiteral("貼り付け(&P)"), this, &NumberEdit::PasteFromClipboard)
        ->setEnabled(!QApplication::clipboard()->text().isEmpty() && !readOnly_);
    // "削除" erases the selected value, as Delete does.
    menu.addAction(QStringLiteral("削除(&D)"), this,
                   [this] {
                       Clear();
                       emit OnChange();
                   })
        ->setEnabled(selected_ && !readOnly_);
    menu.addSeparator();
    menu.addAction(QStringLiteral("すべて選択(&A)"), this, &NumberEdit::SelectAll)
        ->setEnabled(!selected_ && !value_.empty());
    menu.exec(event->globalPos());
}

QSize NumberEdit::sizeHint() const {
    QFontMetrics m(font());
    return {121, m.height() + 2 * margin_ + 4};
}

void NumberEdit::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), colour_);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
    QRect area = rect().adjusted(margin_ + 2, margin_, -margin_ - 2, -margin_);
    QString number = displayText();
    QFontMetrics m(font());
    QColor text = isEnabled() ? palette().color(QPalette::Text) : disabledColour_;
    if (selected_ && hasFocus() && !number.isEmpty()) {
        int w = m.horizontalAdvance(number);
        int x = alignment_ & Qt::AlignLeft      ? area.left()
                : alignment_ & Qt::AlignHCenter ? area.center().x() - w / 2
                                                : area.right() - w;
        painter.fillRect(QRect(x, area.top(), w, area.height()),
                         palette().color(QPalette::Highlight));
        text = palette().color(QPalette::HighlightedText);
    }
    painter.setPen(text);
    if (!value_.empty()) {
        if (!leftMark_.isEmpty()) {
            painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, leftMark_);
            area.setLeft(area.left() + m.horizontalAdvance(leftMark_));
        }
        if (!rightMark_.isEmpty()) {
            painter.drawText(area, Qt::AlignRight | Qt::AlignVCenter, rightMark_);
            area.setRight(area.right() - m.horizontalAdvance(rightMark_));
        }
    }
    painter.drawText(area, static_cast<int>(alignment_), number);
    if (hasFocus()) {
        int w = m.horizontalAdvance(number);
        int x = alignment_ & Qt::AlignLeft      ? area.left() + w
                : alignment_ & Qt::AlignHCenter ? area.center().x() + w / 2
                                                : area.right();
        int h = m.boundingRect(QLatin1Char('M')).height();
        painter.fillRect(QRect(x, area.center().y() - h / 2, font().bold() ? 2 : 1, h),
                         palette().color(QPalette::Text));
    }
}
