#pragma once

#include <QDialog>

#include <functional>

class QButtonGroup;
class QVBoxLayout;

// The print dialog "印刷": "全ﾚｰｽ一括" (the bet list of the day) or one race
// (its analysis sheet). OK prints and keeps the dialog open.
class PrintDialog : public QDialog {
    Q_OBJECT

  public:
    PrintDialog(const QString& dayCaption, int races, QWidget* parent = nullptr);

    int selected() const;
    void select(int item);
    // Item 0: the bet list; item k: the analysis sheet of race k.
    std::function<void(int item)> onPrint;

  public slots:
    void printSelected();

  private:
    QButtonGroup* items_;
};
