#include "ui/UserTableModel.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>

namespace pellora {

namespace {
constexpr int kWidths[UserTableModel::ColumnCount] = {110, 100, 60, 120, 100};
const char* const kTitles[UserTableModel::ColumnCount] = {"User", "Password", "Status", "Email", "Full Name"};

// Beyond this many separate runs of removed rows one rebuild is cheaper than
// announcing each run to the view.
constexpr std::size_t kMaxRemovedRuns = 256;
}  // namespace

UserTableModel::UserTableModel(UserList& users, QObject* parent) : QAbstractTableModel(parent), users_(users) {}

int UserTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int UserTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant UserTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole) return {};
  const TUserList* user = UserAt(index.row());
  if (!user) return {};
  switch (index.column()) {
    case ColUser: return QString::fromStdString(user->UserName);
    case ColPassword: return HashOnly(*user) ? QStringLiteral("(hash only)") : QString::fromStdString(user->Password);
    case ColStatus: return user->Disabled ? QStringLiteral("Disabled") : QStringLiteral("Enabled");
    case ColEmail: return QString::fromStdString(user->Email);
    case ColFullName: return QString::fromStdString(user->FullName);
    default: return {};
  }
}

QVariant UserTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(kTitles[section]);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  return {};
}

Qt::ItemFlags UserTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool UserTableModel::Passes(const TUserList& user) const {
  if (filter_ == ViewEnabled) return !user.Disabled;
  if (filter_ == ViewDisabled) return user.Disabled;
  return true;
}

void UserTableModel::RefreshUserView() {
  beginResetModel();
  rows_.clear();
  rows_.reserve(users_.CountUsers());
  for (TUserList& user : users_)
    if (Passes(user)) rows_.push_back(&user);
  endResetModel();
}

void UserTableModel::SetViewFilter(int filter) {
  filter_ = filter;
  RefreshUserView();
}

TUserList* UserTableModel::UserAt(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return nullptr;
  return rows_[static_cast<std::size_t>(row)];
}

std::vector<TUserList*> UserTableModel::TakeRows(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  rows.erase(std::remove_if(rows.begin(), rows.end(),
                            [this](int r) { return r < 0 || static_cast<std::size_t>(r) >= rows_.size(); }),
             rows.end());
  std::vector<TUserList*> taken;
  taken.reserve(rows.size());
  for (int r : rows) taken.push_back(rows_[static_cast<std::size_t>(r)]);
  if (rows.empty()) return taken;

  // Runs of neighbouring rows, first row and last row of each.
  std::vector<std::pair<int, int>> runs;
  for (int r : rows) {
    if (!runs.empty() && runs.back().second + 1 == r) runs.back().second = r;
    else runs.emplace_back(r, r);
  }

  auto compact = [this, &rows] {
    std::size_t out = 0, next = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      if (next < rows.size() && static_cast<std::size_t>(rows[next]) == i) {
        ++next;
        continue;
      }
      rows_[out++] = rows_[i];
    }
    rows_.resize(out);
  };

  if (runs.size() > kMaxRemovedRuns) {
    beginResetModel();
    compact();
    endResetModel();
    return taken;
  }
  // From the bottom up, so the row numbers of the runs still to go stay valid.
  for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
    beginRemoveRows(QModelIndex(), it->first, it->second);
    rows_.erase(rows_.begin() + it->first, rows_.begin() + it->second + 1);
    endRemoveRows();
  }
  return taken;
}

void UserTableModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void UserTableModel::Reset(int filter) {
  filter_ = filter;
  Clear();
}

int UserTableModel::ColumnWidth(int column) { return column >= 0 && column < ColumnCount ? kWidths[column] : 0; }

void SetUpUserView(QTableView& view, UserTableModel& model) {
  view.setModel(&model);
  view.setEditTriggers(QAbstractItemView::NoEditTriggers);
  view.setSelectionBehavior(QAbstractItemView::SelectRows);
  view.setSelectionMode(QAbstractItemView::ExtendedSelection);
  view.setShowGrid(true);
  view.setSortingEnabled(false);
  view.setWordWrap(false);
  view.setCornerButtonEnabled(false);
  view.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Tab leaves the list for the next control instead of walking its cells.
  view.setTabKeyNavigation(false);
  QHeaderView* rows = view.verticalHeader();
  rows->setVisible(false);
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(view.fontMetrics().height() + 6);
  QHeaderView* columns = view.horizontalHeader();
  columns->setStretchLastSection(false);
  columns->setSectionsClickable(false);
  columns->setHighlightSections(false);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 0; c < UserTableModel::ColumnCount; ++c) columns->resizeSection(c, UserTableModel::ColumnWidth(c));
}

}  // namespace pellora
