// TDirLabel: a label that shows a folder path, shortened with "..." in its
// middle when the label is too narrow for it.
#pragma once

#include <QLabel>
#include <QString>

namespace toponyx::desktop {

class TDirLabel : public QLabel {
  Q_OBJECT
  Q_PROPERTY(QString DirName READ DirName WRITE SetDirName)

 public:
  explicit TDirLabel(QWidget* parent = nullptr);

  const QString& DirName() const { return dir_name_; }
  // A different value becomes the caption and the label repaints.
  void SetDirName(const QString& dir_name);
  // What the label shows now: DirName, or the shortest form the last paint
  // reached.
  QString Caption() const { return caption_; }

  // The path shortened to about length characters (unchanged when it is not
  // longer, or length is below 19): its first three characters, "...", and a
  // tail that starts at a separator.
  static QString ShortenedPath(const QString& path, int length);
  // One shortening step: the form for the first length, from the path's
  // length down to 19, that is shorter than the path; the path itself when
  // there is none.
  static QString ShortenStep(const QString& path);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QString dir_name_;
  QString caption_;
};

}  // namespace toponyx::desktop
