#include "main/FolderEdit.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <algorithm>

#include "main/FileControls.h"
#include "main/Glyphs.h"
#include "platform/Paths.h"

namespace toponyx::desktop {

TSelectDirectoryDialog::TSelectDirectoryDialog(const QString& folder, Prompter& prompter,
                                               QWidget* parent, const QString& base_folder)
    : QDialog(parent), prompter_(prompter), base_folder_(base_folder) {
  setWindowTitle(QStringLiteral("Select Directory"));
  setModal(true);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Directory &Name:"), this), 0, 0, 1, 2);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("DirectoryName"));
  grid->addWidget(name_, 1, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("&Directories:"), this), 2, 0, 1, 2);
  folders_ = new TDirectoryListBox(this);
  folders_->setObjectName(QStringLiteral("DirectoryListBox"));
  grid->addWidget(folders_, 3, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Dri&ves:"), this), 4, 0);
  drives_ = new TDriveComboBox(this);
  grid->addWidget(drives_, 5, 0);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  grid->addWidget(buttons, 5, 1);
  connect(buttons, &QDialogButtonBox::accepted, this, &TSelectDirectoryDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TSelectDirectoryDialog::reject);
  connect(folders_, &TDirectoryListBox::DirectoryChanged, this, [this](const QString& f) {
    name_->setText(f);
    drives_->SelectDriveOf(f);
  });
  connect(drives_, &TDriveComboBox::DriveChanged, folders_, &TDirectoryListBox::SetDirectory);

  // A folder that doesn't exist yet is shown by its nearest existing parent.
  QString start = folder.isEmpty() ? QDir::homePath() : folder;
  QString existing = Absolute(start);
  while (!QFileInfo(existing).isDir() && existing != QLatin1String("/") && !existing.isEmpty()) {
    existing = QFileInfo(existing).path();
  }
  folders_->SetDirectory(existing.isEmpty() ? QStringLiteral("/") : existing);
  name_->setText(start);
  resize(360, 320);
}

QString TSelectDirectoryDialog::Absolute(const QString& folder) const {
  return QString::fromStdString(
      platform::AbsolutePath(folder.toStdString(), base_folder_.toStdString()));
}

QString TSelectDirectoryDialog::Folder() const {
  return name_->text().trimmed();
}

void TSelectDirectoryDialog::accept() {
  const QString folder = Absolute(Folder());
  if (folder.isEmpty()) return;
  if (!QFileInfo(folder).isDir()) {
    if (!prompter_.Confirm(this,
                           QStringLiteral("The specified directory does not exist. Create it?"),
                           QStringLiteral("Confirm"))) {
      return;
    }
    if (!QDir().mkpath(folder)) {
      prompter_.Message(this, MessageKind::kError, QStringLiteral("Unable to create directory"));
      return;
    }
  }
  QDialog::accept();
}

TFolderEdit::TFolderEdit(QWidget* parent) : QLineEdit(parent), browse_(new QToolButton(this)) {
  // A button of its own inside the edit's end (an action of the edit takes
  // no focus): Tab reaches it after the edit, Space or Enter presses it.
  browse_->setObjectName(QStringLiteral("BrowseButton"));
  browse_->setIcon(FolderGlyph());
  browse_->setAutoRaise(true);
  browse_->setFocusPolicy(Qt::StrongFocus);
  browse_->setCursor(Qt::ArrowCursor);
  browse_->setToolTip(QStringLiteral("Select Directory (F4)"));
  browse_->setAccessibleName(QStringLiteral("Select Directory"));
  connect(browse_, &QToolButton::clicked, this, &TFolderEdit::Browse);
}

void TFolderEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  const int side = std::max(8, height() - 4);
  browse_->setGeometry(width() - side - 2, 2, side, side);
  browse_->setIconSize(QSize(side - 6, side - 6));
  setTextMargins(0, 0, side + 2, 0);
}

void TFolderEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F4 ||
      (event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier)) {
    event->accept();
    Browse();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TFolderEdit::Browse() {
  BoxPrompter boxes;
  TSelectDirectoryDialog dialog(text(), prompter_ ? *prompter_ : boxes, window(), base_folder_);
  bool finished = false;
  connect(&dialog, &QDialog::finished, this, [&finished] { finished = true; });
  emit DialogOpened(&dialog);
  if (!finished) dialog.exec();
  if (dialog.result() == QDialog::Accepted) setText(dialog.Folder());
}

}  // namespace toponyx::desktop
