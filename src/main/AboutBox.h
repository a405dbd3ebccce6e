// TAboutBox: the program's two pictures and its version.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutBox;
}

namespace toponyx::desktop {

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;
  QString VersionText() const;
  bool HasPictures() const;

 private:
  std::unique_ptr<Ui::TAboutBox> ui_;
};

}  // namespace toponyx::desktop
