#pragma once

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

// The preset message box: a text, a type with its icon and sound, and the
// buttons shown. Tests answer the next showing with setNextAnswer, so that
// window tests run unattended.
class MessageDialog {
  public:
    enum class Type { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
    enum class Position { poDesigned, poScreenCenter };

    QString DisplayMsg;
    Type type = Type::mtInformation;
    QMessageBox::StandardButtons VisibleButtons = QMessageBox::Ok;
    Position MsgPosition = Position::poScreenCenter;
    int MsgLeft = -1;
    int MsgTop = -1;
    int HelpContext = 0;
    bool Sound = false;
    QString Caption = QStringLiteral("TOLVEN");
    std::function<void(QMessageBox::StandardButton)> OnButtonClick;

    // Shows the box modally (after the type's sound when Sound is set) and
    // returns the button chosen.
    QMessageBox::StandardButton Execute(QWidget* parent = nullptr);
    QMessageBox::StandardButton result() const { return result_; }

    // Test hooks: the next Execute returns this answer without showing
    // anything; the text it would have shown is kept.
    static void setNextAnswer(QMessageBox::StandardButton answer);
    static void setAutoAnswer(std::optional<QMessageBox::StandardButton> answer);
    static QString lastMessage();
    static int shownCount();

    // A beep followed by an information box with OK: how the program reports.
    static void information(QWidget* parent, const QString& text);
    static void warning(QWidget* parent, const QString& text);
    static bool confirm(QWidget* parent, const QString& text);

  private:
    QMessageBox::StandardButton result_ = QMessageBox::NoButton;
};
