#pragma once
#include <QAbstractTableModel>
#include <vector>

#include "core/UserList.h"

class QTableView;

namespace pellora {

// The rows of the user list view: one per record of the list that passes the
// view filter, in list order. Each row holds a pointer to its record, so the
// commands reach the record through the row and data() costs a field read.
// Whoever changes the list refreshes the view (or removes the rows of
// unlinked records) before control returns to the event loop, so no row
// outlives its record.
class UserTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { ColUser, ColPassword, ColStatus, ColEmail, ColFullName, ColumnCount };
  // Filter values of the view menu.
  enum Filter { ViewAll = 0, ViewEnabled = 1, ViewDisabled = 2 };

  explicit UserTableModel(UserList& users, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Rebuilds the rows from the list in one pass; any selection is lost.
  void RefreshUserView();
  int ViewFilter() const { return filter_; }
  // Sets the filter and rebuilds.
  void SetViewFilter(int filter);

  // The record shown in a row; nullptr outside the rows.
  TUserList* UserAt(int row) const;
  // Removes the given rows (any order, repeats allowed) and leaves the others
  // as they are; returns their records in display order. The records stay in
  // the list: unlinking them is the caller's business.
  std::vector<TUserList*> TakeRows(std::vector<int> rows);
  // Empties the view.
  void Clear();
  // Empties the view and sets the filter of later rebuilds, as for a new project.
  void Reset(int filter);

  static int ColumnWidth(int column);

 private:
  bool Passes(const TUserList& user) const;

  UserList& users_;
  int filter_ = ViewAll;
  std::vector<TUserList*> rows_;
};

// Sets up a table view as the user list: the model, read-only, grid lines,
// whole-row multiple selection, the column widths, no sorting, and fixed row
// heights so a hundred thousand rows lay out at once.
void SetUpUserView(QTableView& view, UserTableModel& model);

}  // namespace pellora
