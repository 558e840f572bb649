#include "widgets/DateField.hpp"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString kFormat = QStringLiteral("yyyy/MM/dd");

// The text with a digit put at position `at`, as a valid date: a month of 0
// or above 12 and a day beyond the month are brought into range.
QDate dateWith(QString text, int at, QChar digit) {
    text[at] = digit;
    int year = text.left(4).toInt();
    int month = std::clamp(text.mid(5, 2).toInt(), 1, 12);
    int day = std::max(1, text.mid(8, 2).toInt());
    QDate first(year, month, 1);
    if (!first.isValid()) return {};
    return QDate(year, month, std::min(day, first.daysInMonth()));
}

}  // namespace

DateField::DateField(QWidget* parent) : QDateEdit(parent) {
    setDisplayFormat(kFormat);
    // Every four-digit year can be typed digit by digit.
    setDateRange(QDate(1000, 1, 1), QDate(9999, 12, 31));
}

void DateField::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!plain || typed.size() != 1 || !(typed[0].isDigit() || typed[0] == QLatin1Char('/'))) {
        run_.clear();
        QDateEdit::keyPressEvent(event);
        return;
    }
    QLineEdit* edit = lineEdit();
    QString text = edit->text();
    if (text.size() != kFormat.size()) {
        QDateEdit::keyPressEvent(event);
        return;
    }
    int at = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    // A cursor put elsewhere since the last digit (a click on the text goes
    // to the line edit, not here) begins a new run.
    if (edit->hasSelectedText() || at != runCursor_) run_.clear();
    if (run_.isEmpty()) {
        runStart_ = at;
        runText_ = text;
    }
    run_ += typed[0];
    // A whole date typed from elsewhere than the year: the year it began
    // with, or all of it, goes where a person means it.
    static const QRegularExpression yearAndSlash(QStringLiteral("^[0-9]{4}/$"));
    static const QRegularExpression eightDigits(QStringLiteral("^[0-9]{8}$"));
    if (runStart_ > 0 && (yearAndSlash.match(run_).hasMatch() || eightDigits.match(run_).hasMatch())) {
        QString whole = run_.size() == 8 ? run_.left(4) + QLatin1Char('/') + run_.mid(4, 2) +
                                               QLatin1Char('/') + run_.mid(6, 2)
                                         : run_.left(4) + runText_.mid(4);
        QDate date = dateWith(whole, 0, whole[0]);
        if (date.isValid() && date >= minimumDate() && date <= maximumDate()) setDate(date);
        runStart_ = 0;
        edit->deselect();
        edit->setCursorPosition(run_.size() == 8 ? static_cast<int>(text.size()) : 5);
        runCursor_ = edit->cursorPosition();
        event->accept();
        return;
    }
    if (typed[0] == QLatin1Char('/')) {
        // To the part after the next slash.
        // Right after a slash (the cursor stepped over it) it stays.
        int slash = text.indexOf(QLatin1Char('/'), at);
        if (slash >= 0 && !(at > 0 && text[at - 1] == QLatin1Char('/'))) at = slash + 1;
    } else {
        if (at < text.size() && text[at] == QLatin1Char('/')) ++at;
        if (at >= text.size()) {
            runCursor_ = at;
            event->accept();
            return;
        }
        QDate date = dateWith(text, at, typed[0]);
        if (date.isValid() && date >= minimumDate() && date <= maximumDate()) setDate(date);
        ++at;
        if (at < text.size() && edit->text()[at] == QLatin1Char('/')) ++at;
    }
    edit->deselect();
    edit->setCursorPosition(std::min<int>(at, static_cast<int>(text.size())));
    runCursor_ = edit->cursorPosition();
    event->accept();
}

void DateField::mousePressEvent(QMouseEvent* event) {
    // With the calendar pop-up the spin box reads a click on the frame as one
    // on its step-up button (the two styles number their parts alike), so a
    // click meant to put the cursor into the year moved the year. Only the
    // arrow at the right opens the calendar; elsewhere the click goes to the
    // text at that height.
    run_.clear();
    QLineEdit* edit = lineEdit();
    QPoint at = event->position().toPoint();
    if (!calendarPopup() || event->button() != Qt::LeftButton ||
        at.x() > edit->geometry().right()) {
        QDateEdit::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    QPoint inText = edit->mapFrom(this, at);
    inText.setY(edit->height() / 2);
    edit->deselect();
    edit->setCursorPosition(edit->cursorPositionAt(inText));
    event->accept();
}

void DateField::focusInEvent(QFocusEvent* event) {
    run_.clear();
    QDateEdit::focusInEvent(event);
}
