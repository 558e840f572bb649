#include "mainwindow/DayHeader.hpp"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>

#include "mainwindow/TickerWidget.hpp"
#include "widgets/qt_text.hpp"

namespace {

const char* const kBuiltInTicker =
    "必勝馬券ソフト「TOLVEN」、その実績はあなたの目でお確かめください。";

// message.txt joined without separators, or the built-in line.
QString tickerMessage(const std::filesystem::path& base) {
    QString text;
    QFile message(tolven::qpath(base / "message.txt"));
    if (message.open(QIODevice::ReadOnly)) {
        QString all = tolven::qs(message.readAll().toStdString());
        for (const QString& line : all.split(QRegularExpression(QStringLiteral("\r?\n")))) {
            text += line;
        }
    }
    return text.isEmpty() ? QString::fromUtf8(kBuiltInTicker) : text;
}

}  // namespace

DayHeader::DayHeader(const std::filesystem::path& base, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    banner_ = new QLabel(this);
    banner_->setObjectName(QStringLiteral("Banner"));
    // A style sheet, not the palette: some platform styles ignore a label's
    // window colour.
    banner_->setStyleSheet(QStringLiteral("QLabel { background-color: black; color: #00FF00; }"));
    QFont bannerFont(QStringLiteral("ＭＳ Ｐゴシック"));
    bannerFont.setBold(true);
    bannerFont.setPixelSize(15);
    banner_->setFont(bannerFont);
    banner_->setMinimumSize(320, 24);
    banner_->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(banner_);
    tickerPanel_ = new QWidget(this);
    auto* tickerLayout = new QHBoxLayout(tickerPanel_);
    tickerLayout->setContentsMargins(0, 0, 0, 0);
    ticker_ = new TickerWidget(tickerPanel_);
    tickerLayout->addWidget(ticker_);
    layout->addWidget(tickerPanel_, 1);
    ticker_->setText(tickerMessage(base));
}

QString DayHeader::bannerText() const {
    return banner_->text();
}

void DayHeader::setBannerText(const QString& text) {
    banner_->setText(text);
}

QString DayHeader::tickerText() const {
    return ticker_->text();
}

void DayHeader::setTickerShown(bool shown) {
    tickerPanel_->setVisible(shown);
}
