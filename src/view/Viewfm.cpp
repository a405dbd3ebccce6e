#include "view/Viewfm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <exception>

#include "platform/File.h"
#include "ui_Viewfm.h"

namespace toponyx::desktop {

TViewfm::TViewfm(dbf::DbfTable& table, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(std::make_unique<Ui::TViewfm>()),
      table_(table),
      prompter_(prompter) {
  ui_->setupUi(this);
  model_ = new DbfRecordModel(table_, this);
  // One simple panel.
  status_ = new QLabel(QStringLiteral("Record No."), this);
  status_->setObjectName(QStringLiteral("StatusText"));
  ui_->StatusBar1->addWidget(status_, 1);

  QHeaderView* rows = ui_->Grid1->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 4);
  rows->setMinimumWidth(14);
  rows->setDefaultAlignment(Qt::AlignCenter);
  ui_->Grid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  ui_->Grid1->setModel(nullptr);

  connect(ui_->bClose, &QPushButton::clicked, this, &TViewfm::bCloseClick);
  connect(ui_->DBNav1, &TDBNavigator::Clicked, this, &TViewfm::NavigatorClick);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { CurrentChanged(); });

  // Centred on the screen.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

TViewfm::~TViewfm() = default;

TDBNavigator* TViewfm::Navigator() const {
  return ui_->DBNav1;
}
QString TViewfm::StatusText() const {
  return status_->text();
}
int TViewfm::CurrentRow() const {
  return model_->CurrentRow();
}

bool TViewfm::OpenAndShow() {
  try {
    if (!table_.Active()) {
      // Opening a table whose file is gone would create an empty one in
      // its place: report it as a table that cannot be opened.
      if (!platform::DefaultFileSystem().Exists(table_.FullPath())) {
        throw dbf::TableError("Cannot open file " + table_.FullPath());
      }
      table_.Open();
    }
  } catch (const std::exception& e) {
    prompter_.Message(parentWidget(), MessageKind::kError, QString::fromStdString(e.what()));
    return false;
  }
  model_->Reload();
  show();
  raise();
  activateWindow();
  return true;
}

void TViewfm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window brought back from the task bar gets only the system's show
  // event: the show handler runs when the program shows the window.
  if (!event->spontaneous()) FormShow();
}

void TViewfm::FormShow() {
  // Bind the grid and the navigator to the table.
  if (ui_->Grid1->model() != model_) {
    ui_->Grid1->setModel(model_);
    connect(ui_->Grid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
              if (current.isValid()) model_->SetCurrentRow(current.row());
              CurrentChanged();
            });
  }
  // Columns as wide as their fields or their titles: positions in digits,
  // texts in average characters, at most 24 of them.
  const QFontMetrics metrics = ui_->Grid1->fontMetrics();
  const auto& fields = table_.FieldDefs();
  for (int c = 0; c < model_->columnCount(); ++c) {
    const dbf::FieldDef& field = fields[static_cast<size_t>(c)];
    const int text = field.length <= 10 ? field.length * metrics.horizontalAdvance(u'0')
                                        : std::min(field.length, 24) * metrics.averageCharWidth();
    const int title = metrics.horizontalAdvance(QString::fromStdString(field.name));
    ui_->Grid1->setColumnWidth(c, std::max(text, title) + 20);
  }
  MoveTo(model_->rowCount() > 0 ? 0 : -1);
  ShowRecordNumber();
}

void TViewfm::MoveTo(int row) {
  const int rows = model_->rowCount();
  if (rows == 0) {
    model_->SetCurrentRow(-1);
    CurrentChanged();
    return;
  }
  row = std::clamp(row, 0, rows - 1);
  const int column = std::max(0, ui_->Grid1->currentIndex().column());
  const QModelIndex index = model_->index(row, column);
  ui_->Grid1->setCurrentIndex(index);
  ui_->Grid1->scrollTo(index);
  model_->SetCurrentRow(row);
  CurrentChanged();
}

void TViewfm::CurrentChanged() {
  ui_->DBNav1->UpdateState(table_.Active(), model_->CurrentRow(), model_->rowCount());
  ShowRecordNumber();
}

void TViewfm::ShowRecordNumber() {
  if (!table_.Active()) return;
  const uint32_t recno = model_->RecNoForRow(model_->CurrentRow());
  status_->setText(QStringLiteral("Record No. ") + QString::number(recno));
}

void TViewfm::NavigatorClick(TDBNavigator::Button button) {
  if (!table_.Active()) return;
  const int row = model_->CurrentRow();
  switch (button) {
    case TDBNavigator::nbFirst:
      MoveTo(0);
      break;
    case TDBNavigator::nbPrior:
      MoveTo(row - 1);
      break;
    case TDBNavigator::nbNext:
      MoveTo(row + 1);
      break;
    case TDBNavigator::nbLast:
      MoveTo(model_->rowCount() - 1);
      break;
    case TDBNavigator::nbDelete:
      if (row < 0) break;
      if (!prompter_.Confirm(this, QStringLiteral("Delete record?"))) break;
      try {
        model_->DeleteRow(row);
      } catch (const std::exception& e) {
        prompter_.Message(this, MessageKind::kError, QString::fromStdString(e.what()));
      }
      MoveTo(row);
      break;
    case TDBNavigator::nbPost:
    case TDBNavigator::nbCancel:
      break;  // nothing is ever edited in place
    case TDBNavigator::nbRefresh:
      model_->Reload();
      MoveTo(std::min(row, model_->rowCount() - 1));
      break;
  }
}

void TViewfm::bCloseClick() {
  close();
}

void TViewfm::closeEvent(QCloseEvent* event) {
  // Unbind the grid, then close the table so its files are free again.
  ui_->Grid1->setModel(nullptr);
  model_->Clear();
  try {
    if (table_.Active()) table_.Close();
  } catch (const std::exception& e) {
    prompter_.Message(this, MessageKind::kError, QString::fromStdString(e.what()));
  }
  status_->setText(QStringLiteral("Record No."));
  ui_->DBNav1->UpdateState(false, -1, 0);
  event->accept();
}

}  // namespace toponyx::desktop
