#include "main/Dlgfm.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "main/FileControls.h"
#include "main/Glyphs.h"
#include "main/Mainfm.h"
#include "ui_Dlgfm.h"

namespace toponyx::desktop {

TDlgfm::TDlgfm(TMainfm* mainfm)
    : QDialog(mainfm), ui_(std::make_unique<Ui::TDlgfm>()), mainfm_(mainfm) {
  ui_->setupUi(this);
  UseFormFont(this);
  setFixedSize(size());
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  connect(ui_->DirectoryListBox1, &TDirectoryListBox::DirectoryChanged, this,
          &TDlgfm::DirectoryListBox1Change);
  connect(ui_->FilterComboBox1, &QComboBox::currentIndexChanged, this,
          &TDlgfm::FilterComboBox1Change);
  connect(ui_->DriveComboBox1, &TDriveComboBox::DriveChanged, ui_->DirectoryListBox1,
          &TDirectoryListBox::SetDirectory);
  connect(ui_->OKBtn, &QPushButton::clicked, this, &TDlgfm::OKBtnClick);
  // Enter in the folder edit goes to the folder, not to the default button.
  ui_->EListFilesPath2->installEventFilter(this);
  connect(ui_->CancelBtn, &QPushButton::clicked, this, &TDlgfm::CancelBtnClick);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  FormCreate();
}

TDlgfm::~TDlgfm() = default;

QLineEdit* TDlgfm::EListFilesPath2() const {
  return ui_->EListFilesPath2;
}
TDirectoryListBox* TDlgfm::DirectoryListBox1() const {
  return ui_->DirectoryListBox1;
}
TFileListBox* TDlgfm::FLB1() const {
  return ui_->FLB1;
}
TDriveComboBox* TDlgfm::DriveComboBox1() const {
  return ui_->DriveComboBox1;
}
TFilterComboBox* TDlgfm::FilterComboBox1() const {
  return ui_->FilterComboBox1;
}

void TDlgfm::FormCreate() {
  // The entry of the default file type is selected with the links cut, so
  // the file list keeps its mask of every data file.
  linked_ = false;
  const int32_t filetype = mainfm_->DefaultFiletype();
  ui_->FilterComboBox1->setCurrentIndex(
      filetype >= 0 && filetype < TFilterComboBox::Entries() ? filetype : -1);
  linked_ = true;
}

void TDlgfm::DirectoryListBox1Change() {
  const QString folder = ui_->DirectoryListBox1->Directory();
  ui_->EListFilesPath2->setText(folder);
  if (linked_) ui_->FLB1->SetDirectory(folder);
}

void TDlgfm::FilterComboBox1Change() {
  if (!linked_) return;
  const QString mask = TFilterComboBox::MaskAt(ui_->FilterComboBox1->currentIndex());
  if (!mask.isEmpty()) ui_->FLB1->SetMask(mask);
}

void TDlgfm::SetMaskFromFiletype(int32_t filetype) {
  const QString mask = TFilterComboBox::MaskAt(filetype);
  if (!mask.isEmpty()) ui_->FLB1->SetMask(mask);
}

void TDlgfm::ShowFolder(const QString& folder) {
  ui_->EListFilesPath2->setText(folder);
  ui_->DriveComboBox1->SelectDriveOf(folder);
  ui_->DirectoryListBox1->SetDirectory(folder);
}

bool TDlgfm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->EListFilesPath2 && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        !(key->modifiers() & ~Qt::KeypadModifier)) {
      GoToTypedFolder();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

QString TDlgfm::TypedFolder() const {
  // Made tidy before anything is created, so that blanks around the text
  // never become part of a new folder's name.
  QString typed = ui_->EListFilesPath2->text().trimmed();
  if (typed.size() > 1 && typed.endsWith(u'/')) typed.chop(1);
  if (typed.isEmpty()) return typed;
  if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/"))) {
    typed = QDir::homePath() + typed.mid(1);
  }
  return QDir::cleanPath(QDir(ui_->DirectoryListBox1->Directory()).absoluteFilePath(typed));
}

void TDlgfm::GoToTypedFolder() {
  const QString folder = TypedFolder();
  if (folder.isEmpty()) return;
  ShowFolder(folder);
  ui_->EListFilesPath2->selectAll();
}

void TDlgfm::OKBtnClick() {
  const int32_t filetype = ui_->FilterComboBox1->currentIndex();
  mainfm_->SetDefaultFiletype(filetype);
  SetMaskFromFiletype(filetype);
  const QString download = TypedFolder();
  if (!download.isEmpty() && !QFileInfo(download).isDir()) {
    QDir().mkpath(download);  // a failure is ignored
  }
  // A folder typed without Enter: its files, not those of the folder the
  // list still shows.
  if (!download.isEmpty() && download != ui_->FLB1->Directory()) {
    ui_->FLB1->SetDirectory(download);
  }
  mainfm_->SetDownloadFolder(download);
  mainfm_->ReplaceFileList(ui_->FLB1->Items(), ui_->FLB1->Mask());
  accept();
}

void TDlgfm::CancelBtnClick() {
  reject();
}

}  // namespace toponyx::desktop
