#include "view/Viewfm.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QStatusBar>
#include <exception>

#include "dbf/NameSearch.h"
#include "platform/File.h"
#include "ui_Viewfm.h"
#include "view/MapPane.h"
#include "view/PlaceMapLoader.h"

namespace toponyx::desktop {

TViewfm::TViewfm(dbf::DbfTable& table, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(std::make_unique<Ui::TViewfm>()),
      table_(table),
      prompter_(prompter) {
  ui_->setupUi(this);
  model_ = new DbfRecordModel(table_, this);
  // The count follows the rows: the model finds deleted records as it
  // reads the table, and a delete takes a row away.
  connect(model_, &QAbstractItemModel::rowsRemoved, this, &TViewfm::ShowFileStatus);
  connect(model_, &QAbstractItemModel::rowsInserted, this, &TViewfm::ShowFileStatus);
  connect(model_, &QAbstractItemModel::modelReset, this, &TViewfm::ShowFileStatus);
  loader_ = new PlaceMapLoader(platform::DefaultFileSystem(), this);
  // One simple panel, and the file's name and size on the right.
  status_ = new QLabel(QStringLiteral("Record No."), this);
  status_->setObjectName(QStringLiteral("StatusText"));
  ui_->StatusBar1->addWidget(status_, 1);
  file_ = new QLabel(this);
  file_->setObjectName(QStringLiteral("StatusFile"));
  ui_->StatusBar1->addPermanentWidget(file_);

  QHeaderView* rows = ui_->Grid1->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 4);
  rows->setMinimumWidth(14);
  rows->setDefaultAlignment(Qt::AlignCenter);
  ui_->Grid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  ui_->Grid1->setModel(nullptr);
  // The grid above the map, which gets the smaller part.
  ui_->Splitter1->setStretchFactor(0, 3);
  ui_->Splitter1->setStretchFactor(1, 2);
  ui_->Splitter1->setSizes({250, 170});

  connect(ui_->bClose, &QPushButton::clicked, this, &TViewfm::bCloseClick);
  connect(ui_->bOpen, &QPushButton::clicked, this, &TViewfm::bOpenClick);
  auto* open_key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
  connect(open_key, &QShortcut::activated, this, &TViewfm::bOpenClick);
  connect(ui_->DBNav1, &TDBNavigator::Clicked, this, &TViewfm::NavigatorClick);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { CurrentChanged(); });

  find_palette_ = ui_->eFind->palette();
  connect(ui_->eFind, &QLineEdit::textEdited, this, [this](const QString& text) { Find(text); });
  connect(ui_->eFind, &QLineEdit::returnPressed, this, [this] { ui_->Grid1->setFocus(); });
  connect(ui_->Grid1, &TDBGrid::TextTyped, this, &TViewfm::GridTyped);
  auto* find_key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
  connect(find_key, &QShortcut::activated, this, [this] {
    ui_->eFind->setFocus();
    ui_->eFind->selectAll();
  });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &TViewfm::bCloseClick);

  connect(loader_, &PlaceMapLoader::MapChanged, ui_->Map1, &TMapPane::SetMap);
  connect(ui_->Map1, &TMapPane::PlaceClicked, this,
          [this](uint32_t recno) { MoveTo(model_->RowForRecNo(recno), true); });

  // Centred on the screen, and no larger than it.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    FitInto(screen->availableGeometry());
  }
}

TViewfm::~TViewfm() {
  loader_->Stop();
}

TDBNavigator* TViewfm::Navigator() const {
  return ui_->DBNav1;
}
TMapPane* TViewfm::MapPane() const {
  return ui_->Map1;
}
QLineEdit* TViewfm::FindBox() const {
  return ui_->eFind;
}
QString TViewfm::StatusText() const {
  return status_->text();
}
QString TViewfm::FileText() const {
  return file_->text();
}
int TViewfm::CurrentRow() const {
  return model_->CurrentRow();
}

void TViewfm::FitInto(const QRect& area) {
  // Before the window is first shown its frame is not known: room for a
  // title bar is kept all the same.
  QPoint corner = geometry().topLeft() - frameGeometry().topLeft();
  QSize frame = frameSize() - size();
  if (frame.width() <= 0 && frame.height() <= 0) {
    frame = QSize(8, 32);
    corner = QPoint(4, 28);
  }
  const QSize inner(std::min(width(), area.width() - frame.width()),
                    std::min(height(), area.height() - frame.height()));
  const QSize outer = inner + frame;
  const QPoint origin = area.topLeft() + QPoint(std::max(0, (area.width() - outer.width()) / 2),
                                                std::max(0, (area.height() - outer.height()) / 2));
  setGeometry(QRect(origin + corner, inner));
}

bool TViewfm::OpenTable(QWidget* message_parent) {
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
    prompter_.Message(message_parent, MessageKind::kError, QString::fromStdString(e.what()));
    return false;
  }
  return true;
}

bool TViewfm::OpenAndShow() {
  if (!table_.TableName().empty() && !OpenTable(parentWidget())) return false;
  const bool shown = isVisible();
  TableOpened();
  show();
  raise();
  activateWindow();
  if (shown) FormShow();  // show() runs it only for a hidden window
  return true;
}

// After the table was opened: the grid's rows, the Find box's reading of
// the file, the map and the file panel.
void TViewfm::TableOpened() {
  model_->Reload();
  ShowFindResult(true);
  if (!table_.Active()) return;
  const std::string path = table_.FullPath();
  try {
    names_.Open(path);
    name_field_ = std::max(0, names_.FieldIndex("NAME"));
  } catch (const std::exception&) {
    names_.Close();  // the grid shows the table all the same; Find finds nothing
  }
  StartMap();
  ShowFileStatus();
  file_->setToolTip(QString::fromStdString(path));
  setWindowTitle(QStringLiteral("View Database - ") + QString::fromStdString(table_.TableName()));
}

// The table's name and how many records it shows (a deleted record is gone
// from the count as from the grid and the map).
void TViewfm::ShowFileStatus() {
  if (!table_.Active()) return;
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  const int count = model_->rowCount();
  file_->setText(QString::fromStdString(table_.TableName()) + QStringLiteral(": ") +
                 (count == 1 ? QStringLiteral("1 record")
                             : QStringLiteral("%1 records").arg(locale.toString(count))));
}

void TViewfm::StartMap() {
  auto waiting = std::make_shared<PlaceMap>();
  waiting->total = 1;
  ui_->Map1->SetMap(waiting);
  loader_->Start(table_.FullPath());
}

void TViewfm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!fitted_) {
    // Now that the frame is known.
    fitted_ = true;
    if (const QScreen* s = screen()) FitInto(s->availableGeometry());
  }
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

void TViewfm::MoveTo(int row, bool jump) {
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
  ui_->Grid1->scrollTo(
      index, jump ? QAbstractItemView::PositionAtCenter : QAbstractItemView::EnsureVisible);
  model_->SetCurrentRow(row);
  CurrentChanged();
}

void TViewfm::CurrentChanged() {
  ui_->DBNav1->UpdateState(table_.Active(), model_->CurrentRow(), model_->rowCount());
  ShowRecordNumber();
  double lon = 0, lat = 0;
  const bool valid = table_.Active() && RowPosition(model_->CurrentRow(), lon, lat);
  ui_->Map1->SetCurrentPlace(valid, lon, lat);
}

bool TViewfm::RowPosition(int row, double& lon, double& lat) const {
  const int lat_column = table_.FieldIndex("LATITUDE");
  const int lon_column = table_.FieldIndex("LONGITUDE");
  if (row < 0 || lat_column < 0 || lon_column < 0) return false;
  auto degrees = [&](int column, double& out) {
    const QString text = model_->data(model_->index(row, column)).toString();
    return ParseDegrees(text.toStdString(), out);
  };
  return degrees(lat_column, lat) && degrees(lon_column, lon);
}

void TViewfm::ShowRecordNumber() {
  if (!table_.Active()) return;
  const uint32_t recno = model_->RecNoForRow(model_->CurrentRow());
  status_->setText(QStringLiteral("Record No. ") + QString::number(recno));
}

bool TViewfm::Find(const QString& text) {
  if (!table_.Active() || !names_.IsOpen() || text.isEmpty()) {
    ShowFindResult(true);
    return false;
  }
  const std::string key =
      dbf::NameSearchKey(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                             static_cast<size_t>(text.size())),
                         255);
  const dbf::NameMatch match = dbf::FindName(names_, name_field_, key);
  MoveTo(match.recno != 0 ? model_->RowForRecNo(match.recno) : model_->rowCount() - 1, true);
  ShowFindResult(match.begins_with_key);
  return match.begins_with_key;
}

void TViewfm::ShowFindResult(bool found) {
  QPalette palette = find_palette_;
  if (!found) palette.setColor(QPalette::Base, QColor(0xFF, 0xDD, 0xDD));
  ui_->eFind->setPalette(palette);
}

// Letters typed into the grid continue in the Find box.
void TViewfm::GridTyped(const QString& text) {
  if (text.isEmpty() || !text.at(0).isPrint()) return;
  ui_->eFind->setFocus();
  ui_->eFind->setText(text);
  Find(text);
}

void TViewfm::bOpenClick() {
  const QString folder =
      table_.FilePath().empty() ? QString() : QString::fromStdString(table_.FilePath());
  QFileDialog dialog(this, QStringLiteral("Open database"), folder,
                     QStringLiteral("Name databases (*.names)"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  bool finished = false;
  connect(&dialog, &QDialog::finished, this, [&finished] { finished = true; });
  emit DialogOpened(&dialog);
  if (!finished) dialog.exec();
  if (dialog.result() != QDialog::Accepted) return;
  const QStringList chosen = dialog.selectedFiles();
  if (!chosen.isEmpty()) OpenFile(chosen.front());
}

bool TViewfm::OpenFile(const QString& path) {
  const std::string previous = table_.Active() ? table_.FullPath() : std::string();
  CloseTable();
  auto open = [this](const std::string& file) {
    try {
      table_.SetTableName(file);
    } catch (const std::exception& e) {
      prompter_.Message(this, MessageKind::kError, QString::fromStdString(e.what()));
      return false;
    }
    if (!OpenTable(this)) return false;
    TableOpened();
    FormShow();
    return true;
  };
  if (open(path.toStdString())) return true;
  if (!previous.empty()) open(previous);
  return false;
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
    case TDBNavigator::nbDelete: {
      if (row < 0) break;
      if (!prompter_.Confirm(this, QStringLiteral("Delete record?"))) break;
      const uint32_t recno = model_->RecNoForRow(row);
      double lon = 0, lat = 0;
      const bool placed = RowPosition(row, lon, lat);
      try {
        model_->DeleteRow(row);
        if (placed) ui_->Map1->RemovePlace(recno, lon, lat);
      } catch (const std::exception& e) {
        prompter_.Message(this, MessageKind::kError, QString::fromStdString(e.what()));
      }
      MoveTo(row);
      break;
    }
    case TDBNavigator::nbPost:
    case TDBNavigator::nbCancel:
      break;  // nothing is ever edited in place
    case TDBNavigator::nbRefresh:
      model_->Reload();
      StartMap();
      MoveTo(std::min(row, model_->rowCount() - 1));
      break;
  }
}

void TViewfm::bCloseClick() {
  close();
}

// Unbinds the grid, then closes the table so its files are free again.
void TViewfm::CloseTable() {
  loader_->Stop();
  ui_->Map1->SetMap(nullptr);
  names_.Close();
  ui_->Grid1->setModel(nullptr);
  model_->Clear();
  try {
    if (table_.Active()) table_.Close();
  } catch (const std::exception& e) {
    prompter_.Message(this, MessageKind::kError, QString::fromStdString(e.what()));
  }
  status_->setText(QStringLiteral("Record No."));
  file_->clear();
  file_->setToolTip({});
  setWindowTitle(QStringLiteral("View Database"));
  ui_->eFind->clear();
  ShowFindResult(true);
  ui_->DBNav1->UpdateState(false, -1, 0);
}

void TViewfm::closeEvent(QCloseEvent* event) {
  CloseTable();
  event->accept();
}

}  // namespace toponyx::desktop
