// A folder edit: typed into like any edit, with a browse button at its end
// that opens the "Select Directory" dialog (folder name, folder list, drive
// list). The button follows the edit in Tab order; F4 or Alt+Down in the
// edit opens the dialog too.
#pragma once

#include <QDialog>
#include <QLineEdit>

class QToolButton;

#include "view/Prompter.h"

namespace toponyx::desktop {

class TDirectoryListBox;
class TDriveComboBox;

class TSelectDirectoryDialog : public QDialog {
  Q_OBJECT

 public:
  // A relative folder name is taken relative to base_folder (the program
  // folder), as the run takes it.
  TSelectDirectoryDialog(const QString& folder, Prompter& prompter, QWidget* parent = nullptr,
                         const QString& base_folder = {});
  QString Folder() const;
  QLineEdit* FolderName() const { return name_; }
  TDirectoryListBox* Folders() const { return folders_; }

  // OK: a folder that doesn't exist is created after the question, with all
  // its parents; answering no keeps the dialog open.
  void accept() override;

 private:
  QString Absolute(const QString& folder) const;

  Prompter& prompter_;
  QString base_folder_;
  QLineEdit* name_;
  TDirectoryListBox* folders_;
  TDriveComboBox* drives_;
};

class TFolderEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TFolderEdit(QWidget* parent = nullptr);
  void SetPrompter(Prompter* prompter) { prompter_ = prompter; }
  // The folder a relative text is taken relative to.
  void SetBaseFolder(const QString& folder) { base_folder_ = folder; }
  // The browse button: the dialog starts at the edit's folder; OK puts the
  // chosen folder into the edit.
  void Browse();
  QToolButton* BrowseButton() const { return browse_; }

 signals:
  // The dialog is open (tests answer it from here).
  void DialogOpened(toponyx::desktop::TSelectDirectoryDialog* dialog);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* browse_;
  Prompter* prompter_ = nullptr;
  QString base_folder_;
};

}  // namespace toponyx::desktop
