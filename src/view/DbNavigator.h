// TDBNavigator: the row of buttons that moves through a table and deletes
// records: First, Prior, Next, Last, Delete, Post, Cancel, Refresh.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <array>

namespace toponyx::desktop {

class TDBNavigator : public QWidget {
  Q_OBJECT

 public:
  enum Button { nbFirst, nbPrior, nbNext, nbLast, nbDelete, nbPost, nbCancel, nbRefresh };
  Q_ENUM(Button)
  static constexpr int kButtonCount = 8;

  explicit TDBNavigator(QWidget* parent = nullptr);

  QToolButton* ButtonAt(Button b) const { return buttons_[static_cast<size_t>(b)]; }
  // Enables the buttons that make sense at a position of a table of rows.
  void UpdateState(bool active, int row, int rows);

 signals:
  void Clicked(toponyx::desktop::TDBNavigator::Button button);

 private:
  std::array<QToolButton*, kButtonCount> buttons_{};
};

}  // namespace toponyx::desktop
