#pragma once

#include <QWidget>

#include <filesystem>

class QTextBrowser;

// The user guide, shown inside the program: it needs no web browser or
// desktop file opener. Links inside the guide are followed here; links to
// the web go to the desktop's browser.
class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the guide's page and brings the window to the front.
    void showGuide(const std::filesystem::path& page);
    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
};
