#pragma once

#include <QString>
#include <QWidget>

#include <filesystem>

class QLabel;
class TickerWidget;

// The two black panels above the catalogue and the views: the banner that
// names the loaded day (green on black) and the ticker beside it, whose
// message comes from message.txt in the base folder.
class DayHeader : public QWidget {
    Q_OBJECT

  public:
    DayHeader(const std::filesystem::path& base, QWidget* parent = nullptr);

    QString bannerText() const;
    void setBannerText(const QString& text);
    QString tickerText() const;
    void setTickerShown(bool shown);

  private:
    QLabel* banner_;
    QWidget* tickerPanel_;
    TickerWidget* ticker_;
};
