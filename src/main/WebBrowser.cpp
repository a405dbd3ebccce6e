#include "main/WebBrowser.h"

#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>

namespace toponyx::desktop {

bool WebBrowserFound() {
  const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  QStringList programs{QStringLiteral("xdg-open")};
  for (const char* variable : {"DEFAULT_BROWSER", "BROWSER"}) {
    const QString named = env.value(QString::fromLatin1(variable));
    if (!named.isEmpty()) programs << named;
  }
  programs << QStringLiteral("kfmclient") << QStringLiteral("gnome-open")
           << QStringLiteral("google-chrome") << QStringLiteral("firefox")
           << QStringLiteral("mozilla") << QStringLiteral("opera");
  for (const QString& program : programs) {
    if (!QStandardPaths::findExecutable(program).isEmpty()) return true;
  }
  return false;
}

QString NoWebBrowserText(const QString& url) {
  return QStringLiteral(
             "No web browser was found to open %1.\n\nInstall a web browser, or copy the "
             "address into the one you use.")
      .arg(url);
}

}  // namespace toponyx::desktop
