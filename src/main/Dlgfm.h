// TDlgfm: the folder and file dialog of STEP 2: a folder list with its
// drives, the files of the folder that match the chosen file type, and OK,
// which hands folder, file type and files to the main window.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TDlgfm;
}

class QLineEdit;

namespace toponyx::desktop {

class TMainfm;
class TDirectoryListBox;
class TFileListBox;
class TDriveComboBox;
class TFilterComboBox;

class TDlgfm : public QDialog {
  Q_OBJECT

 public:
  // Runs the creation handler, which reads the main window's default file type.
  explicit TDlgfm(TMainfm* mainfm);
  ~TDlgfm() override;

  void FormCreate();
  void DirectoryListBox1Change();
  void FilterComboBox1Change();
  void OKBtnClick();
  void CancelBtnClick();

  // Shows the folder: the edit, the drive of the folder, the folder list
  // (which refreshes the file list).
  void ShowFolder(const QString& folder);
  // The mask of a file type (0 to 2); other values leave the mask as it is.
  void SetMaskFromFiletype(int32_t filetype);
  // Enter in the folder edit: the folder typed there (a leading "~" is the
  // home folder, a relative one is taken from the folder shown) is shown
  // with its files; the dialog stays open.
  void GoToTypedFolder();

  QLineEdit* EListFilesPath2() const;
  TDirectoryListBox* DirectoryListBox1() const;
  TFileListBox* FLB1() const;
  TDriveComboBox* DriveComboBox1() const;
  TFilterComboBox* FilterComboBox1() const;

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The folder of the edit: blanks and one trailing separator removed, a
  // leading "~" the home folder, a relative one taken from the folder shown.
  QString TypedFolder() const;

  std::unique_ptr<Ui::TDlgfm> ui_;
  TMainfm* mainfm_;
  bool linked_ = true;  // folder list and filter list drive the file list
};

}  // namespace toponyx::desktop
