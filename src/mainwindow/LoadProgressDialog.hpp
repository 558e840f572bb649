#pragma once

#include <QDialog>

class QProgressBar;
class EffectLabel;

// The progress window of a day load: a caption, a raised progress text and a
// bar that advances once per race read and once per race matched with its
// past races.
class LoadProgressDialog : public QDialog {
    Q_OBJECT

  public:
    explicit LoadProgressDialog(QWidget* parent = nullptr);

    void start(const QString& caption, int maximum);
    void setPosition(int position);
    void finish();
    int position() const;

  private:
    EffectLabel* text_;
    QProgressBar* bar_;
};
