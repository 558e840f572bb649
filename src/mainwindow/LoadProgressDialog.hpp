#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QProgressBar;
class EffectLabel;

// The progress window of a day load: a caption, a raised progress text and a
// bar that advances once per race read and once per race matched with its
// past races. The bar is drawn again at most every few hundredths of a
// second: a day read from memory takes a few milliseconds, and drawing the bar
// at each of its 24 steps took longer than the reading.
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
    int position_ = 0;
    QElapsedTimer sinceShown_;
};
