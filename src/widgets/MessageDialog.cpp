#include "widgets/MessageDialog.hpp"

#include <QApplication>
#include <QScreen>

namespace {

std::optional<QMessageBox::StandardButton> next_answer;
std::optional<QMessageBox::StandardButton> auto_answer;
QString last_message;
int shown = 0;

}  // namespace

void MessageDialog::setNextAnswer(QMessageBox::StandardButton answer) {
    next_answer = answer;
}
void MessageDialog::setAutoAnswer(std::optional<QMessageBox::StandardButton> answer) {
    auto_answer = answer;
}
QString MessageDialog::lastMessage() {
    return last_message;
}
int MessageDialog::shownCount() {
    return shown;
}

QMessageBox::StandardButton MessageDialog::Execute(QWidget* parent) {
    last_message = DisplayMsg;
    ++shown;
    if (Sound) QApplication::beep();
    std::optional<QMessageBox::StandardButton> answer = next_answer ? next_answer : auto_answer;
    next_answer.reset();
    if (answer) {
        result_ = *answer;
    } else {
        QMessageBox box(parent);
        box.setWindowTitle(Caption);
        box.setText(DisplayMsg);
        box.setStandardButtons(VisibleButtons);
        switch (type) {
            case Type::mtWarning:
                box.setIcon(QMessageBox::Warning);
                break;
            case Type::mtError:
                box.setIcon(QMessageBox::Critical);
                break;
            case Type::mtInformation:
                box.setIcon(QMessageBox::Information);
                break;
            case Type::mtConfirmation:
                box.setIcon(QMessageBox::Question);
                break;
            case Type::mtCustom:
                break;
        }
        box.adjustSize();
        if (MsgPosition == Position::poDesigned && MsgLeft >= 0 && MsgTop >= 0) {
            box.move(MsgLeft, MsgTop);
        } else if (QScreen* screen = QApplication::primaryScreen()) {
            box.move(screen->availableGeometry().center() - box.rect().center());
        }
        result_ = static_cast<QMessageBox::StandardButton>(box.exec());
    }
    if (OnButtonClick) OnButtonClick(result_);
    return result_;
}

void MessageDialog::information(QWidget* parent, const QString& text) {
    MessageDialog dlg;
    dlg.DisplayMsg = text;
    dlg.Sound = true;
    dlg.Execute(parent);
}

void MessageDialog::warning(QWidget* parent, const QString& text) {
    MessageDialog dlg;
    dlg.DisplayMsg = text;
    dlg.type = Type::mtWarning;
    dlg.Sound = true;
    dlg.Execute(parent);
}

bool MessageDialog::confirm(QWidget* parent, const QString& text) {
    MessageDialog dlg;
    dlg.DisplayMsg = text;
    dlg.type = Type::mtConfirmation;
    dlg.VisibleButtons = QMessageBox::Yes | QMessageBox::No;
    return dlg.Execute(parent) == QMessageBox::Yes;
}
