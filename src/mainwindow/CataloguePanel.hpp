#pragma once

#include <QStringList>
#include <QWidget>

#include <filesystem>
#include <functional>

#include "store/date_time.hpp"

class QLabel;

class QButtonGroup;
class QListWidget;
class QListWidgetItem;

// The left-hand panel of the main window: the racecourse buttons, the date
// choice and the list of the race days in the store that match them. It
// tells which day the user chose; loading it is the main window's work.
class CataloguePanel : public QWidget {
    Q_OBJECT

  public:
    // `dataFolder` is the store's folder of day files.
    explicit CataloguePanel(std::filesystem::path dataFolder, QWidget* parent = nullptr);
    ~CataloguePanel() override;

    // The local date the date choice counts from (tests fix it).
    void setClock(std::function<tolven::DateTime()> now);

    int courseIndex() const;
    int dateIndex() const;
    // Puts a button down; an index outside the buttons is ignored.
    void setCourseIndex(int index);
    void setDateIndex(int index);

    // Lists the days that match the buttons again, choosing none of them;
    // an empty list gets a line under it that says why and what to do.
    void rebuild();

    QListWidget* dayList() const { return dayList_; }
    // The entry at the list's keyboard position; empty when there is none.
    QString currentEntry() const;
    QStringList entries() const;
    // Moves the list to an entry without choosing it: back to the loaded
    // day when a change of day is refused.
    void follow(const QString& entry);

  signals:
    // An entry was chosen: by a click, the arrow keys, Enter or Space, a
    // click on the entry already chosen, or an accessible selection.
    void dayChosen(const QString& entry);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createButtons();
    void showHint(bool listEmpty);
    void selectionChanged();
    void choose(QListWidgetItem* item);

    std::filesystem::path dataFolder_;
    std::function<tolven::DateTime()> now_;
    QButtonGroup* courseButtons_ = nullptr;
    QButtonGroup* dateButtons_ = nullptr;
    QListWidget* dayList_ = nullptr;
    QLabel* hint_ = nullptr;
    // Selections the panel makes itself (a rebuild, following the loaded day)
    // choose nothing.
    bool quiet_ = false;
    // What was under the pointer when a button of the list went down: a click
    // on the entry already chosen chooses it again, and a click on the
    // racecourse or date button already down rebuilds the list.
    QListWidgetItem* chosenAtPress_ = nullptr;
    bool downAtPress_ = false;
};
