// The rows of a DBF table for a grid, read on demand: opening a table of
// millions of records reads nothing but what is shown.
//
// Deleted records are hidden. Which records are deleted is only known once
// their bytes have been read, so the model works in blocks of records: a
// block not read yet counts as all live, a block read once has its deleted
// records listed. Rows map to record numbers through the live counts of the
// blocks before them (a prefix sum), so a row is found with one binary
// search and at most one block read. A table written by the program has no
// deleted records until the user deletes some here, which keeps the guess
// right in practice; when a block turns out to hold deleted records the
// rows after them move up, and the model reports the lost rows at the end
// (after the view has finished asking for data).
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <string>
#include <vector>

#include "dbf/DbfTable.h"

namespace toponyx::desktop {

class DbfRecordModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr uint32_t kBlockRecords = 4096;

  explicit DbfRecordModel(dbf::DbfTable& table, QObject* parent = nullptr);

  // After the table was opened (or changed on disk): forget what was read.
  void Reload();
  // After the table was closed: no rows.
  void Clear();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Record number (1-based, file order) shown in a row; 0 when none.
  uint32_t RecNoForRow(int row) const;
  // The row of the first live record at or after recno (reads the deleted
  // flags of one block); rowCount() when there is none.
  int RowForRecNo(uint32_t recno) const;
  // Deletes the record of the row in the table and removes the row.
  // Throws the table's error when the flag cannot be written.
  void DeleteRow(int row);
  // The row whose record indicator is drawn.
  void SetCurrentRow(int row);
  int CurrentRow() const { return current_row_; }

  // Records read so far to find deleted ones (tests and the benchmark).
  uint64_t RecordsScanned() const { return records_scanned_; }

 private:
  struct Block {
    bool scanned = false;
    std::vector<uint32_t> deleted;  // record numbers, ascending
  };

  uint32_t BlockRecords(size_t b) const;
  uint32_t LiveInBlock(size_t b) const;
  void Scan(size_t b) const;
  void RebuildPrefix() const;
  void ReportShrink() const;
  void Fetch(uint32_t recno) const;

  dbf::DbfTable& table_;
  uint32_t record_count_ = 0;
  int reported_rows_ = 0;
  int current_row_ = -1;
  mutable std::vector<Block> blocks_;
  mutable std::vector<uint64_t> live_before_;  // live rows before each block
  mutable bool prefix_dirty_ = true;
  mutable bool shrink_pending_ = false;
  mutable uint64_t records_scanned_ = 0;
  // The fields of the record read last (a row asks for five cells).
  mutable uint32_t fetched_recno_ = 0;
  mutable std::vector<QString> fetched_;
  std::vector<QString> titles_;
};

}  // namespace toponyx::desktop
