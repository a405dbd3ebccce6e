// TViewfm: the finished name database in a grid, to move through and to
// delete places from. Shown without blocking the main window; closing it
// closes the table.
#pragma once

#include <QLabel>
#include <QWidget>
#include <memory>

#include "dbf/DbfTable.h"
#include "view/DbNavigator.h"
#include "view/DbfRecordModel.h"
#include "view/Prompter.h"

namespace Ui {
class TViewfm;
}

namespace toponyx::desktop {

class TViewfm : public QWidget {
  Q_OBJECT

 public:
  TViewfm(dbf::DbfTable& table, Prompter& prompter, QWidget* parent = nullptr);
  ~TViewfm() override;

  // The View button: opens the table and shows the window. A table that
  // cannot be opened is reported through the prompter and the window stays
  // hidden; false then.
  bool OpenAndShow();

  DbfRecordModel& Model() { return *model_; }
  TDBNavigator* Navigator() const;
  QString StatusText() const;
  int CurrentRow() const;
  // The navigator's buttons, as a click on them does.
  void NavigatorClick(TDBNavigator::Button button);
  void bCloseClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormShow();
  void MoveTo(int row);
  void ShowRecordNumber();
  void CurrentChanged();

  std::unique_ptr<Ui::TViewfm> ui_;
  dbf::DbfTable& table_;
  Prompter& prompter_;
  DbfRecordModel* model_;
  QLabel* status_;
};

}  // namespace toponyx::desktop
