#include "main/AboutBox.h"

#include "toponyx/Version.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextDocumentFragment>

#include "ui_AboutBox.h"

namespace toponyx::desktop {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TAboutBox>()) {
  ui_->setupUi(this);
  setFixedSize(size());
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);
  ui_->ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/art/about-map.png")));
  ui_->ProductName->setPixmap(QPixmap(QStringLiteral(":/art/about-compass.png")));
  QFont bold = ui_->Version->font();
  bold.setBold(true);
  ui_->Version->setFont(bold);
  ui_->Version->setText(QStringLiteral("Version : " TOPONYX_VERSION_TEXT));
  QFont small = font();
  small.setPixelSize(11);
  ui_->Licence->setFont(small);
  const QString address = QString::fromLatin1(kProgramWebAddress);
  ui_->Licence->setText(
      QStringLiteral("Free software under the MIT licence<br><a href=\"%1\">%2</a>")
          .arg(address, address.chopped(1)));
  // Esc (reject), the close box and Close all close the window.
  connect(ui_->OKButton, &QPushButton::clicked, this, &QDialog::accept);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
}

TAboutBox::~TAboutBox() = default;

QString TAboutBox::VersionText() const {
  return ui_->Version->text();
}

QString TAboutBox::LicenceText() const {
  return QTextDocumentFragment::fromHtml(ui_->Licence->text()).toPlainText();
}

bool TAboutBox::HasPictures() const {
  return !ui_->ProgramIcon->pixmap().isNull() && !ui_->ProductName->pixmap().isNull();
}

}  // namespace toponyx::desktop
