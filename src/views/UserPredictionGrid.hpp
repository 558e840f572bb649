#pragma once

#include <QTableWidget>

#include <vector>

// The grid of the user prediction page. A cell is "activated" — the click
// that ticks a check item — by a left click on it, by Space or Enter on the
// current cell, and by the accessible action of the cell, as a screen reader
// performs it. Tab leaves the grid; the arrow keys move between cells
// without activating them. The separator columns are drawn black over
// their whole width.
class UserPredictionGrid : public QTableWidget {
    Q_OBJECT

  public:
    explicit UserPredictionGrid(QWidget* parent = nullptr);

    void setSeparatorColumns(std::vector<int> columns) { separators_ = std::move(columns); }

  signals:
    void cellActivated(int row, int column);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

  private:
    std::vector<int> separators_;
};
