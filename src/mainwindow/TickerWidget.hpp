#pragma once

#include <QString>
#include <QWidget>

class QTimer;

// The scrolling message line of the main window: red bold text on black,
// moved 4 pixels to the left every 50 ms and started again at the right edge
// once it has left the line.
class TickerWidget : public QWidget {
    Q_OBJECT

  public:
    explicit TickerWidget(QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);
    // The left edge of the text.
    int position() const;
    // One step of the timer (public so that tests can step it).
    void step();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    int x_ = 0;
    bool entering_ = true;
    QTimer* timer_;
};
