#pragma once

#include <QDateEdit>

// A date field "yyyy/MM/dd" that takes typed digits wherever the cursor is:
// each digit replaces the one under the cursor (a selection is typed over
// from its start), the cursor steps over the slashes, and "/" moves to the
// next part. Typing "2025/01/01" over the whole field gives 2025/01/01, and
// two digits typed inside the year change just those digits. A whole date
// typed after a click elsewhere in the field ("2025/01/01" or "20250101")
// is read as the whole date: four digits and a slash, or eight digits, typed
// in one go start from the year. A day beyond the month's end on the way is
// cut to the month's last day. A click on the
// field's frame beside the text puts the cursor there as a click on the text
// does (the spin box underneath would step the date by one).
class DateField : public QDateEdit {
    Q_OBJECT

  public:
    explicit DateField(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    // The digits and slashes typed in one go (since the last click, focus or
    // other key), where they began and the text before them.
    QString run_;
    int runStart_ = 0;
    int runCursor_ = -1;  // where the cursor was left after the run's last key
    QString runText_;
};
