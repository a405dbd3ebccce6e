// TAboutBox: the program's two pictures, its version, its licence and its
// web address.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutBox;
}

namespace toponyx::desktop {

inline constexpr char kProgramWebAddress[] = "https://toponyx.example.org/";

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;
  QString VersionText() const;
  // The line under the version: licence and web address, as shown.
  QString LicenceText() const;
  bool HasPictures() const;

 private:
  std::unique_ptr<Ui::TAboutBox> ui_;
};

}  // namespace toponyx::desktop
