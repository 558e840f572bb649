#pragma once

#include <QString>

class MainWindow;
class QAction;
class QToolBar;

// The main window's commands: the toolbar and the menus, made from one table
// of caption, hint, shortcut and what each does, and switched on and off
// together as the day and the views change.
class ActionTable {
  public:
    // Adds the toolbar and the menus to the window.
    explicit ActionTable(MainWindow& window);

    // An action by its object name (tests and the window find them by it);
    // nullptr when there is none.
    QAction* action(const QString& objectName) const;
    QToolBar* toolBar() const { return toolBar_; }

    // The buttons of the views that show a loaded day.
    void setDayViewsEnabled(bool on);
    void setPrintEnabled(bool on);
    // The window menu's entries, which need a view showing.
    void setWindowCommandsEnabled(bool on);

  private:
    MainWindow& window_;
    QToolBar* toolBar_ = nullptr;
};
