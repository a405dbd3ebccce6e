#include "view/DbfRecordModel.h"

#include <QMetaObject>
#include <algorithm>
#include <exception>

#include "text/CodePage.h"

namespace toponyx::desktop {

DbfRecordModel::DbfRecordModel(dbf::DbfTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {}

void DbfRecordModel::Reload() {
  beginResetModel();
  record_count_ = table_.Active() ? table_.RecordCount() : 0;
  blocks_.assign((record_count_ + kBlockRecords - 1) / kBlockRecords, Block{});
  prefix_dirty_ = true;
  shrink_pending_ = false;
  records_scanned_ = 0;
  fetched_recno_ = 0;
  titles_.clear();
  if (table_.Active()) {
    for (const dbf::FieldDef& f : table_.FieldDefs()) {
      titles_.push_back(QString::fromStdString(codepage::AnsiToUtf8(f.name)));
    }
  }
  reported_rows_ = static_cast<int>(std::min<uint32_t>(record_count_, INT32_MAX));
  current_row_ = reported_rows_ > 0 ? 0 : -1;
  endResetModel();
}

void DbfRecordModel::Clear() {
  beginResetModel();
  record_count_ = 0;
  blocks_.clear();
  live_before_.clear();
  titles_.clear();
  reported_rows_ = 0;
  current_row_ = -1;
  fetched_recno_ = 0;
  endResetModel();
}

uint32_t DbfRecordModel::BlockRecords(size_t b) const {
  const uint64_t first = uint64_t{b} * kBlockRecords;
  return static_cast<uint32_t>(std::min<uint64_t>(kBlockRecords, record_count_ - first));
}

uint32_t DbfRecordModel::LiveInBlock(size_t b) const {
  return BlockRecords(b) - static_cast<uint32_t>(blocks_[b].deleted.size());
}

void DbfRecordModel::RebuildPrefix() const {
  live_before_.resize(blocks_.size() + 1);
  uint64_t sum = 0;
  for (size_t b = 0; b < blocks_.size(); ++b) {
    live_before_[b] = sum;
    sum += LiveInBlock(b);
  }
  live_before_[blocks_.size()] = sum;
  prefix_dirty_ = false;
}

void DbfRecordModel::Scan(size_t b) const {
  Block& block = blocks_[b];
  if (block.scanned) return;
  block.scanned = true;
  const uint32_t first = static_cast<uint32_t>(b * kBlockRecords) + 1;
  const uint32_t n = BlockRecords(b);
  try {
    for (uint32_t i = 0; i < n; ++i) {
      if (table_.IsDeleted(first + i)) block.deleted.push_back(first + i);
    }
  } catch (const std::exception&) {
    // A table that cannot be read shows blank rows rather than failing here.
  }
  records_scanned_ += n;
  if (!block.deleted.empty()) {
    prefix_dirty_ = true;
    ReportShrink();
  }
}

// The view may be in the middle of asking for data: the change of row count
// is reported once control is back in the event loop.
void DbfRecordModel::ReportShrink() const {
  if (shrink_pending_) return;
  shrink_pending_ = true;
  auto* self = const_cast<DbfRecordModel*>(this);
  QMetaObject::invokeMethod(
      self,
      [self] {
        self->shrink_pending_ = false;
        if (self->prefix_dirty_) self->RebuildPrefix();
        const int live = static_cast<int>(std::min<uint64_t>(
            self->live_before_.empty() ? 0 : self->live_before_.back(), INT32_MAX));
        if (live < self->reported_rows_) {
          self->beginRemoveRows({}, live, self->reported_rows_ - 1);
          self->reported_rows_ = live;
          if (self->current_row_ >= live) self->current_row_ = live - 1;
          self->endRemoveRows();
        }
        if (self->reported_rows_ > 0) {
          emit self->dataChanged(self->index(0, 0),
                                 self->index(self->reported_rows_ - 1, self->columnCount() - 1));
        }
      },
      Qt::QueuedConnection);
}

uint32_t DbfRecordModel::RecNoForRow(int row) const {
  if (row < 0 || blocks_.empty()) return 0;
  for (int attempt = 0; attempt < 64; ++attempt) {
    if (prefix_dirty_) RebuildPrefix();
    const uint64_t target = static_cast<uint64_t>(row);
    if (target >= live_before_.back()) return 0;
    // The block whose live rows cover the target row.
    auto it = std::upper_bound(live_before_.begin(), live_before_.end() - 1, target);
    const size_t b = static_cast<size_t>(it - live_before_.begin()) - 1;
    if (!blocks_[b].scanned) {
      Scan(b);
      if (prefix_dirty_) continue;  // the block had deletions: look again
    }
    // The k-th live record of the block.
    uint32_t k = static_cast<uint32_t>(target - live_before_[b]);
    uint32_t recno = static_cast<uint32_t>(b * kBlockRecords) + 1 + k;
    for (uint32_t d : blocks_[b].deleted) {
      if (d <= recno) {
        ++recno;
      } else {
        break;
      }
    }
    return recno;
  }
  return 0;
}

int DbfRecordModel::RowForRecNo(uint32_t recno) const {
  if (recno == 0) recno = 1;
  if (recno > record_count_) return reported_rows_;
  const size_t b = (recno - 1) / kBlockRecords;
  Scan(b);
  if (prefix_dirty_) RebuildPrefix();
  const auto& deleted = blocks_[b].deleted;
  const auto before = std::lower_bound(deleted.begin(), deleted.end(), recno) - deleted.begin();
  const uint64_t row =
      live_before_[b] + (recno - 1 - b * kBlockRecords) - static_cast<uint64_t>(before);
  return static_cast<int>(std::min<uint64_t>(row, static_cast<uint64_t>(reported_rows_)));
}

void DbfRecordModel::Fetch(uint32_t recno) const {
  if (recno == fetched_recno_) return;
  fetched_.assign(titles_.size(), QString());
  fetched_recno_ = recno;
  try {
    table_.GoToRecord(recno);
    std::string field;
    for (size_t i = 0; i < titles_.size(); ++i) {
      table_.GetField(static_cast<int>(i), field);
      fetched_[i] = QString::fromStdString(codepage::AnsiToUtf8(field));
    }
  } catch (const std::exception&) {
  }
}

int DbfRecordModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : reported_rows_;
}

int DbfRecordModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant DbfRecordModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || !table_.Active()) return {};
  const uint32_t recno = RecNoForRow(index.row());
  if (recno == 0) return {};
  Fetch(recno);
  const auto column = static_cast<size_t>(index.column());
  return column < fetched_.size() ? QVariant(fetched_[column]) : QVariant();
}

QVariant DbfRecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    return section >= 0 && static_cast<size_t>(section) < titles_.size()
               ? QVariant(titles_[static_cast<size_t>(section)])
               : QVariant();
  }
  // The record indicator: a pointer on the current row.
  return section == current_row_ ? QVariant(QStringLiteral("\u25B6")) : QVariant(QString());
}

void DbfRecordModel::SetCurrentRow(int row) {
  if (row == current_row_) return;
  const int old = current_row_;
  current_row_ = row;
  if (old >= 0) emit headerDataChanged(Qt::Vertical, old, old);
  if (row >= 0) emit headerDataChanged(Qt::Vertical, row, row);
}

void DbfRecordModel::DeleteRow(int row) {
  const uint32_t recno = RecNoForRow(row);
  if (recno == 0) return;
  table_.GoToRecord(recno);
  table_.Delete();
  const size_t b = (recno - 1) / kBlockRecords;
  auto& deleted = blocks_[b].deleted;
  deleted.insert(std::upper_bound(deleted.begin(), deleted.end(), recno), recno);
  fetched_recno_ = 0;
  beginRemoveRows({}, row, row);
  prefix_dirty_ = true;
  --reported_rows_;
  if (current_row_ >= reported_rows_) current_row_ = reported_rows_ - 1;
  endRemoveRows();
}

}  // namespace toponyx::desktop
