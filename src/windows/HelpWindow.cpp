#include "windows/HelpWindow.hpp"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "widgets/qt_text.hpp"

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("TOLVEN ヘルプ"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto* back = new QPushButton(QStringLiteral("戻る"), this);
    back->setObjectName(QStringLiteral("HelpBack"));
    auto* home = new QPushButton(QStringLiteral("目次"), this);
    home->setObjectName(QStringLiteral("HelpHome"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("HelpClose"));
    bar->addWidget(back);
    bar->addWidget(home);
    bar->addStretch(1);
    bar->addWidget(close);
    layout->addLayout(bar);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpText"));
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_, 1);
    back->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(home, &QPushButton::clicked, browser_, &QTextBrowser::home);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    resize(820, 700);
}

void HelpWindow::showGuide(const std::filesystem::path& page) {
    QUrl url = QUrl::fromLocalFile(tolven::qpath(page));
    if (browser_->source() != url) {
        browser_->clearHistory();
        browser_->setSource(url);
    }
    show();
    raise();
    activateWindow();
}
