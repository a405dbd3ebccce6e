// TdpnLEdit: a one-line edit with a label of its own and an input filter
// chosen by its Picture. Enter moves on to the next field in Tab order,
// passing over push buttons; from the window's last field it moves to the
// window's default button, so that a second Enter presses it.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace toponyx::desktop {

class TdpnLEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(QString Picture READ Picture WRITE SetPicture)
  Q_PROPERTY(bool SetWidth READ SetWidth WRITE SetSetWidth)
  Q_PROPERTY(QString LabelCaption READ LabelCaption WRITE SetLabelCaption)
  Q_PROPERTY(LabelPlacement LabelAlignment READ LabelAlignment WRITE SetLabelAlignment)

 public:
  enum LabelPlacement { laLeft, laTop };
  Q_ENUM(LabelPlacement)

  explicit TdpnLEdit(QWidget* parent = nullptr);

  const QString& Picture() const { return picture_; }
  void SetPicture(const QString& picture) { picture_ = picture.left(20); }
  bool SetWidth() const { return set_width_; }
  void SetSetWidth(bool on);
  QString LabelCaption() const { return label_->text(); }
  void SetLabelCaption(const QString& caption);
  LabelPlacement LabelAlignment() const { return placement_; }
  void SetLabelAlignment(LabelPlacement placement);
  QLabel* EditLabel() const { return label_; }
  // The setter names the form compiler uses for these properties.
  void setPicture(const QString& picture) { SetPicture(picture); }
  void setSetWidth(bool on) { SetSetWidth(on); }
  void setLabelCaption(const QString& caption) { SetLabelCaption(caption); }
  void setLabelAlignment(LabelPlacement placement) { SetLabelAlignment(placement); }

  // What the picture makes of a typed character: the character to insert,
  // or a null QChar when it is rejected. Control characters always pass.
  static QChar Filter(const QString& picture, QChar c, QChar decimal_separator);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void PlaceLabel();
  void ApplyWidth();
  void FocusNextSkippingButtons();

  QString picture_ = QStringLiteral("uppercase");
  bool set_width_ = false;
  LabelPlacement placement_ = laTop;
  QPointer<QLabel> label_;
};

}  // namespace toponyx::desktop
