#include "views/UserPredictionGrid.hpp"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Ticks are drawn as text ("●"); the check state only tells assistive
// technology whether an item is ticked, so no check box is drawn.
class TickDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
    }
};

}  // namespace

UserPredictionGrid::UserPredictionGrid(QWidget* parent) : QTableWidget(parent) {
    setItemDelegate(new TickDelegate(this));
    setTabKeyNavigation(false);
    // The view never selects on its own (see selectionCommand); a selection
    // comes only from the accessible action of a cell, and is taken as the
    // activation of that cell.
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTableWidget::cellClicked, this, &UserPredictionGrid::cellActivated);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                const QModelIndexList indexes = selected.indexes();
                if (indexes.isEmpty()) return;
                QModelIndex index = indexes.first();
                {
                    QSignalBlocker block(selectionModel());
                    selectionModel()->clearSelection();
                }
                emit cellActivated(index.row(), index.column());
            });
}

QItemSelectionModel::SelectionFlags UserPredictionGrid::selectionCommand(const QModelIndex&,
                                                                const QEvent*) const {
    return QItemSelectionModel::NoUpdate;
}

void UserPredictionGrid::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Select:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
                QModelIndex index = currentIndex();
                if (index.isValid()) {
                    emit cellActivated(index.row(), index.column());
                    event->accept();
                    return;
                }
            }
            break;
        default:
            break;
    }
    QTableWidget::keyPressEvent(event);
}

void UserPredictionGrid::paintEvent(QPaintEvent* event) {
    QTableWidget::paintEvent(event);
    if (separators_.empty() || rowCount() == 0) return;
    QPainter painter(viewport());
    int bottom = rowViewportPosition(rowCount() - 1) + rowHeight(rowCount() - 1);
    for (int c : separators_) {
        int x = columnViewportPosition(c);
        if (x < 0) continue;
        painter.fillRect(QRect(x, 0, columnWidth(c), bottom), Qt::black);
    }
}
