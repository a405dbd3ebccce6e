// The folder and file controls of the dialogs: a folder list that shows the
// way down to the current folder and its subfolders, the list of drives (on
// this system the root, the user's home folder and the mounted volumes), a
// file list with a mask, and the list of file type filters.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>

namespace toponyx::desktop {

class TDirectoryListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit TDirectoryListBox(QWidget* parent = nullptr);
  const QString& Directory() const { return directory_; }
  // Shows the folder (a folder that doesn't exist shows the way to it with
  // no subfolders) and reports the change.
  void SetDirectory(const QString& folder);

 signals:
  void DirectoryChanged(const QString& folder);

 private:
  void Fill();
  QString directory_;
};

class TDriveComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TDriveComboBox(QWidget* parent = nullptr);
  // The drives: "/" first, then the user's home folder, then the mount
  // points of real volumes.
  static QStringList Drives();
  // Selects the drive that holds the folder (the longest mount point that
  // starts it), without reporting a change.
  void SelectDriveOf(const QString& folder);
  QString Drive() const { return currentText(); }

 signals:
  void DriveChanged(const QString& root);
};

class TFileListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit TFileListBox(QWidget* parent = nullptr);
  const QString& Mask() const { return mask_; }
  void SetMask(const QString& mask);
  const QString& Directory() const { return directory_; }
  void SetDirectory(const QString& folder);
  // The file names shown, in list order.
  QStringList Items() const;

 private:
  void Fill();
  QString mask_;
  QString directory_;
};

// A caption longer than the box shows its start and "…" (the whole caption
// is the box's tool tip); the list that drops down is as wide as the
// longest caption.
class TFilterComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TFilterComboBox(QWidget* parent = nullptr);
  // The entries: every format, then the formats with an entry of their own
  // (waypoint files, Toponyx text files).
  static int Entries();
  static QString MaskAt(int index);  // "" outside 0 to Entries() - 1
  // The caption as the closed box shows it.
  QString ShownText() const;
  void showPopup() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace toponyx::desktop
