#pragma once

#include <QDialog>

// ﾊﾞｰｼﾞｮﾝ情報: the program's name and its version line drawn with a shadow.
class AboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit AboutBox(QWidget* parent = nullptr);
};
