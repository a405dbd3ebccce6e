#include "main/HelpWindow.h"

#include <QFileInfo>
#include <QHelpEngineCore>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

namespace toponyx::desktop {

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {
  setOpenExternalLinks(true);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
  if (engine_ && name.scheme() == QLatin1String("qthelp")) {
    const QByteArray bytes = engine_->fileData(name);
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource) {
      return QString::fromUtf8(bytes);
    }
    return bytes;
  }
  return QTextBrowser::loadResource(type, name);
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Toponyx Creator Help"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QToolBar(this);
  browser_ = new HelpBrowser(this);
  bar->addAction(QStringLiteral("Back"), browser_, &QTextBrowser::backward);
  bar->addAction(QStringLiteral("Forward"), browser_, &QTextBrowser::forward);
  bar->addAction(QStringLiteral("Contents"), browser_, &QTextBrowser::home);
  layout->addWidget(bar);
  layout->addWidget(browser_);
  resize(720, 560);
}

HelpWindow::~HelpWindow() = default;

bool HelpWindow::Open(const QString& help_file) {
  if (engine_ && opened_file_ == help_file) return true;
  engine_.reset();
  browser_->SetEngine(nullptr);
  if (!QFileInfo(help_file).isFile()) return false;
  // The engine keeps its list of help files in a collection of its own; one
  // private collection per program run.
  collection_dir_ = std::make_unique<QTemporaryDir>();
  if (!collection_dir_->isValid()) return false;
  auto engine =
      std::make_unique<QHelpEngineCore>(collection_dir_->filePath(QStringLiteral("help.qhc")));
  engine->setReadOnly(false);
  if (!engine->setupData()) return false;
  if (!engine->registerDocumentation(help_file)) return false;
  engine_ = std::move(engine);
  browser_->SetEngine(engine_.get());
  opened_file_ = help_file;
  return true;
}

bool HelpWindow::ShowTopic(const QString& help_file, const QString& topic) {
  if (!Open(help_file)) return false;
  const QUrl url(QStringLiteral("qthelp://%1/doc/%2").arg(QLatin1String(kHelpNamespace), topic));
  if (engine_->fileData(url).isEmpty()) return false;
  browser_->setSource(url);
  show();
  raise();
  activateWindow();
  return true;
}

}  // namespace toponyx::desktop
