#pragma once

#include <QColor>
#include <QWidget>

#include "layouts/numeric_text.hpp"

// A self-drawn entry field for signed decimal numbers: input only at the end
// of the value (calculator style), refused when it would break the digit
// limits, shown with thousands separators and optional marks.
class NumberEdit : public QWidget {
    Q_OBJECT

  public:
    enum class Option {
        eoMinusOnly = 1,
        eoArrowUp = 2,
        eoArrowDown = 4,
        eoAutoWidthSize = 8,
        eoORInputStop = 16
    };

    explicit NumberEdit(QWidget* parent = nullptr);

    // The value text: optional "-", digits, optional "." and decimals.
    QString Text() const;
    // A new text is filtered, normalised and shown; OnChange is not fired.
    void setText(const QString& text);
    QString displayText() const;

    int IntegerLength() const { return format_.integer_length; }
    void setIntegerLength(int n);
    int DecimalLength() const { return format_.decimal_length; }
    void setDecimalLength(int n);
    bool Minus() const { return format_.minus; }
    void setMinus(bool on);
    bool Comma() const { return format_.comma; }
    void setComma(bool on);
    bool DecimalFixed() const { return format_.decimal_fixed; }
    void setDecimalFixed(bool on);
    bool IntegerFixed() const { return format_.integer_fixed; }
    void setIntegerFixed(bool on);
    QString LeftMark() const { return leftMark_; }
    void setLeftMark(const QString& mark);
    QString RightMark() const { return rightMark_; }
    void setRightMark(const QString& mark);
    Qt::Alignment Alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment a);
    bool AutoSelect() const { return autoSelect_; }
    void setAutoSelect(bool on) { autoSelect_ = on; }
    bool HideSelection() const { return hideSelection_; }
    void setHideSelection(bool on) { hideSelection_ = on; }
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool on) { readOnly_ = on; }
    bool ErrorBeep() const { return errorBeep_; }
    void setErrorBeep(bool on) { errorBeep_ = on; }
    bool EnterFocusMove() const { return enterFocusMove_; }
    void setEnterFocusMove(bool on) { enterFocusMove_ = on; }
    bool ArrowFocusMove() const { return arrowFocusMove_; }
    void setArrowFocusMove(bool on) { arrowFocusMove_ = on; }
    bool ImageCopy() const { return imageCopy_; }
    void setImageCopy(bool on) { imageCopy_ = on; }
    int Options() const { return options_; }
    void setOptions(int options) { options_ = options; }
    QColor Color() const { return colour_; }
    void setColor(const QColor& c);
    QColor DisabledColor() const { return disabledColour_; }
    void setDisabledColor(const QColor& c);

    bool allSelected() const { return selected_; }
    bool modified() const { return modified_; }
    bool canUndo() const { return undoAvailable_; }
    // Number of refused keys so far (each beeps when ErrorBeep is on).
    int refusals() const { return refusals_; }

    void Clear();
    void SelectAll();
    void Deselect();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void Undo();

    QSize sizeHint() const override;

  signals:
    void OnChange();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    void refuse();
    // Stores an accepted new value: undo, repaint, modified, OnChange.
    void commit(const std::string& value);
    void refilter();
    bool fits(const std::string& value) const;
    int markedWidth(const QString& text) const;

    tolven::NumericFormat format_{};
    std::string value_;
    std::string undoValue_;
    bool undoAvailable_ = false;
    bool selected_ = false;
    bool modified_ = false;
    QString leftMark_, rightMark_;
    Qt::Alignment alignment_ = Qt::AlignRight | Qt::AlignVCenter;
    bool autoSelect_ = true;
    bool hideSelection_ = true;
    bool readOnly_ = false;
    bool errorBeep_ = true;
    bool enterFocusMove_ = false;
    bool arrowFocusMove_ = false;
    bool imageCopy_ = false;
    int options_ = static_cast<int>(Option::eoArrowUp) | static_cast<int>(Option::eoArrowDown);
    QColor colour_ = Qt::white;
    QColor disabledColour_;
    int refusals_ = 0;
    int margin_ = 2;
};
