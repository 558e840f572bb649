#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "views/RaceView.hpp"

class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class UserPredictionGrid;

// The prediction window "予想表": the computer prediction page (marks,
// composite ranking, pattern and computer bets) and the user prediction page
// (check items, user score and rank, user bets), with the hit-export buttons.
class PredictionView : public RaceView {
    Q_OBJECT

  public:
    PredictionView(const tolven::RaceDay& day, QWidget* parent = nullptr);

    QTableWidget* computerGrid() const { return computerGrid_; }
    QTableWidget* userGrid() const;
    QLabel* patternBox() const { return pattern_; }
    QListWidget* computerQuinella() const { return computerQuinella_; }
    QListWidget* computerBracket() const { return computerBracket_; }
    QListWidget* userQuinella() const { return userQuinella_; }
    QListWidget* userBracket() const { return userBracket_; }
    QTabWidget* pages() const { return pages_; }
    QPushButton* hitButton() const { return hit_; }
    QPushButton* longshotButton() const { return longshot_; }

    // The click on the user grid at a runner row (1..N) and column, however
    // it was made (mouse, keyboard, accessible action).
    void clickUserCell(int row, int column);
    // The main window runs the hit export (it owns the day list).
    std::function<void(bool longshot)> onHitExport;
    // The main window owns the day: it ticks or unticks check item `column`
    // of runner row `row` of race n and writes the user file (which may
    // throw FileError).
    std::function<void(int n, int row, int column)> onToggleCheckItem;

  protected:
    void showRace(int n) override;

  private:
    // Fills a page for the race shown; the page not on top waits until it
    // is turned to.
    void showPage(int page);
    void showComputerPage(int n);
    void showUserPage(int n);

    QTabWidget* pages_;
    QTableWidget* computerGrid_;
    UserPredictionGrid* userGrid_;
    QLabel* pattern_;
    QListWidget* computerQuinella_;
    QListWidget* computerBracket_;
    QListWidget* userQuinella_;
    QListWidget* userBracket_;
    QPushButton* hit_;
    QPushButton* longshot_;
    int race_ = -1;
    std::array<bool, 2> pageStale_{true, true};
};
