// TViewfm: the finished name database in a grid, to move through and to
// delete places from, with a Find box that searches the table in name order
// and a map of its places. Shown without blocking the main window; closing
// it closes the table. "Open database…" shows another name database in
// the same window.
#pragma once

#include <QLabel>
#include <QWidget>
#include <memory>

#include "dbf/DbfTable.h"
#include "dbf/RecordFile.h"
#include "view/DbNavigator.h"
#include "view/DbfRecordModel.h"
#include "view/Prompter.h"

class QFileDialog;
class QLineEdit;

namespace Ui {
class TViewfm;
}

namespace toponyx::desktop {

class PlaceMapLoader;
class TMapPane;

class TViewfm : public QWidget {
  Q_OBJECT

 public:
  TViewfm(dbf::DbfTable& table, Prompter& prompter, QWidget* parent = nullptr);
  ~TViewfm() override;

  // The View button: opens the table and shows the window. A table that
  // cannot be opened is reported through the prompter and the window stays
  // hidden; false then. A table without a name (no run yet) shows the
  // window empty, ready for "Open database…".
  bool OpenAndShow();
  // "Open database…" (Ctrl+O): a file dialog on *.names, then OpenFile.
  void bOpenClick();
  // Shows the table file at path in place of the one shown. One that cannot
  // be opened is reported, and the table shown before comes back; false then.
  bool OpenFile(const QString& path);
  // The Find box: goes to the first place whose name begins with text
  // (letter case of A to Z ignored), or to where such a name would stand.
  // False when no name begins with it.
  bool Find(const QString& text);
  // Records the Find box has read from the table since it was opened.
  uint64_t FindRecordsRead() const { return names_.RecordsRead(); }
  // Keeps the window inside a screen's free area (a small screen, or a large
  // scale factor), centred on it.
  void FitInto(const QRect& area);

  DbfRecordModel& Model() { return *model_; }
  TDBNavigator* Navigator() const;
  TMapPane* MapPane() const;
  QLineEdit* FindBox() const;
  QString StatusText() const;
  // The status bar's other panel: the file name and its record count.
  QString FileText() const;
  int CurrentRow() const;
  // The navigator's buttons, as a click on them does.
  void NavigatorClick(TDBNavigator::Button button);
  void bCloseClick();

 signals:
  // The file dialog of "Open database…" is open (tests answer it from here).
  void DialogOpened(QFileDialog* dialog);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormShow();
  bool OpenTable(QWidget* message_parent);
  void TableOpened();
  void CloseTable();
  void StartMap();
  // Makes row current; a jump (Find, a click on the map) puts it in the
  // middle of the grid.
  void MoveTo(int row, bool jump = false);
  void ShowRecordNumber();
  void CurrentChanged();
  bool RowPosition(int row, double& lon, double& lat) const;
  void GridTyped(const QString& text);
  void ShowFindResult(bool found);

  std::unique_ptr<Ui::TViewfm> ui_;
  dbf::DbfTable& table_;
  Prompter& prompter_;
  DbfRecordModel* model_;
  QLabel* status_;
  QLabel* file_;
  void ShowFileStatus();
  // The Find box reads the table through a handle of its own.
  dbf::RecordFile names_;
  int name_field_ = 0;
  QPalette find_palette_;  // the Find box's own colours, while it finds
  PlaceMapLoader* loader_;
  bool fitted_ = false;
};

}  // namespace toponyx::desktop
