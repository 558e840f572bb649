#include "widgets/TMsgDlg.hpp"

#include <QApplication>
#include <QScreen>

namespace {

std::optional<QMessageBox::StandardButton> next_answer;
std::optional<QMessageBox::StandardButton> auto_answer;
QString last_message;
int shown = 0;

}  // namespace

void TMsgDlg::setNextAnswer(QMessageBox::StandardButton answer) {
    next_answer = answer;
}
void TMsgDlg::setAutoAnswer(std::optional<QMessageBox::StandardButton> answer) {
    auto_answer = answer;
}
QString TMsgDlg::lastMessage() {
    return last_message;
}
int TMsgDlg::shownCount() {
    return shown;
}

QMessageBox::StandardButton TMsgDlg::Execute(QWidget* parent) {
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
        switch (MsgDlgType) {
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

void TMsgDlg::information(QWidget* parent, const QString& text) {
    TMsgDlg dlg;
    dlg.DisplayMsg = text;
    dlg.Sound = true;
    dlg.Execute(parent);
}

void TMsgDlg::warning(QWidget* parent, const QString& text) {
    TMsgDlg dlg;
    dlg.DisplayMsg = text;
    dlg.MsgDlgType = Type::mtWarning;
    dlg.Sound = true;
    dlg.Execute(parent);
}

bool TMsgDlg::confirm(QWidget* parent, const QString& text) {
    TMsgDlg dlg;
    dlg.DisplayMsg = text;
    dlg.MsgDlgType = Type::mtConfirmation;
    dlg.VisibleButtons = QMessageBox::Yes | QMessageBox::No;
    return dlg.Execute(parent) == QMessageBox::Yes;
}
