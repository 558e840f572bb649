#include "windows/BuiltLinesModel.hpp"

#include <iterator>

#include "widgets/qt_text.hpp"

int BuiltLinesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant BuiltLinesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    return tolven::qs(lines_[static_cast<std::size_t>(index.row())]);
}

void BuiltLinesModel::append() {
    if (pending_.empty()) return;
    int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(pending_.size()) - 1);
    lines_.insert(lines_.end(), std::make_move_iterator(pending_.begin()),
                  std::make_move_iterator(pending_.end()));
    pending_.clear();
    endInsertRows();
}

void BuiltLinesModel::clear() {
    beginResetModel();
    lines_.clear();
    pending_.clear();
    endResetModel();
}
