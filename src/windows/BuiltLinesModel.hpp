#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

// The lines of the download window's built-data list ("作成済みデータ"),
// kept as the CP932 texts the import reports and turned into screen text
// only for the rows shown: an import reports a line per record, tens of
// thousands of them. Lines are added in batches.
class BuiltLinesModel : public QAbstractListModel {
    Q_OBJECT

  public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Lines wait here until append() shows them.
    void add(std::string line) { pending_.push_back(std::move(line)); }
    bool hasPending() const { return !pending_.empty(); }
    // Shows the waiting lines in one insertion.
    void append();
    void clear();

  private:
    std::vector<std::string> lines_;
    std::vector<std::string> pending_;
};
