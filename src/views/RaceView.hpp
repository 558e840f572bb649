#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

#include "model/race_day.hpp"
#include "widgets/qt_text.hpp"

class QLabel;
class QTabBar;
class QTableWidget;
class QVBoxLayout;

// The frame every race window shares: one tab per race ("1 R", "2 R", ..), the
// four-line race header on a maroon or green band, and the window's own
// content below. Each tab change rebuilds the content from the race day,
// which the main window owns and writes; the window only reads it and keeps
// no copy. A window that is not shown rebuilds when it is shown again, not
// before.
class RaceView : public QWidget {
    Q_OBJECT

  public:
    RaceView(const QString& title, const tolven::RaceDay& day, QWidget* parent = nullptr);

    // A new day was loaded: tabs 1..RaceCount, first tab shown.
    void dayLoaded();
    int currentRace() const;
    void setCurrentRace(int n);
    QTabBar* tabs() const { return tabs_; }
    QString headerLine(int i) const;
    QLabel* headerLabel(int i) const { return lines_[static_cast<std::size_t>(i)]; }
    QColor headerColour() const;

    // A grid of bold 15-pixel gothic text. Each column is at least its
    // designed width and wide enough for the widest text it can hold
    // (`widest` counts half-width characters, as CP932 bytes do).
    static QTableWidget* makeGrid(QWidget* parent, const std::vector<int>& widths,
                                  const std::vector<int>& widest);
    static void fitColumns(QTableWidget* grid, const std::vector<int>& widths,
                           const std::vector<int>& widest);
    // Fills a grid with CP932 cell texts, reusing the cells it already has.
    static void fillGrid(QTableWidget* grid, const std::vector<std::vector<std::string>>& rows);
    // Tells assistive technology that a cell's text (or its checked state)
    // changed.
    static void announceCell(QTableWidget* grid, int row, int column, bool checkedChanged = false);
    static QColor rgb(unsigned colour) {
        return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
    }

  protected:
    // Rebuilds the content for race n (0-based).
    virtual void showRace(int n) = 0;
    // The tab strip moved to another race; by default the race is shown.
    virtual void raceSelected(int n);
    // Shows the current race now when the window is seen, else when it is
    // shown next.
    void refresh();
    // Sets the header band from the race (title line as given).
    void setHeader(int n, const std::string& title);
    QVBoxLayout* content() const { return content_; }
    void showEvent(QShowEvent* event) override;
    const tolven::RaceDay& day_;

  private:
    QTabBar* tabs_;
    QWidget* band_;
    std::array<QLabel*, 4> lines_{};
    std::array<std::string, 4> lineTexts_{};
    unsigned bandColour_ = 0xFFFFFFFF;
    QVBoxLayout* content_;
    bool stale_ = false;
};
