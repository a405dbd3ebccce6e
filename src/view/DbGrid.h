// TDBGrid: the View window's grid. Letters typed into it do not start the
// item views' own search, which compares row after row of the table; they
// go to the window's Find box instead, which searches the table in name
// order.
#pragma once

#include <QTableView>

namespace toponyx::desktop {

class TDBGrid : public QTableView {
  Q_OBJECT

 public:
  using QTableView::QTableView;
  void keyboardSearch(const QString& search) override;

 signals:
  void TextTyped(const QString& text);
};

}  // namespace toponyx::desktop
