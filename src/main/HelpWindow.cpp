#include "main/HelpWindow.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHelpEngineCore>
#include <QPushButton>
#include <QShortcut>
#include <QToolBar>
#include <QVBoxLayout>

#include "platform/System.h"

namespace toponyx::desktop {

namespace {
// "<prefix><process id>-XXXXXX" in the temporary folder.
constexpr const char* kFolderPrefix = "toponyx-creator-help-";
}  // namespace

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {
  // Left to itself the browser hands every link with a scheme of its own
  // (qthelp: too) to the system.
  setOpenLinks(false);
  setOpenExternalLinks(false);
  open_external = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::FollowLink);
}

void HelpBrowser::FollowLink(const QUrl& url) {
  const QString scheme = url.scheme();
  if (scheme == QLatin1String("qthelp") || url.isRelative()) {
    setSource(source().resolved(url));
  } else if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
    if (open_external) open_external(url);
  }
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
  QAction* back = bar->addAction(QStringLiteral("Back"), browser_, &QTextBrowser::backward);
  QAction* forward = bar->addAction(QStringLiteral("Forward"), browser_, &QTextBrowser::forward);
  QAction* contents = bar->addAction(QStringLiteral("Contents"), browser_, &QTextBrowser::home);
  back->setShortcut(QKeySequence::Back);
  forward->setShortcut(QKeySequence::Forward);
  contents->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          &QWidget::close);
  layout->addWidget(bar);
  layout->addWidget(browser_);
  resize(720, 560);
}

HelpWindow::~HelpWindow() = default;

int HelpWindow::RemoveAbandonedFolders() {
  QDir temp(QDir::tempPath());
  int removed = 0;
  const QString prefix = QLatin1String(kFolderPrefix);
  for (const QString& name : temp.entryList({prefix + QLatin1Char('*')}, QDir::Dirs)) {
    bool number = false;
    const int pid = name.mid(prefix.size()).section(QLatin1Char('-'), 0, 0).toInt(&number);
    if (!number || platform::ProcessIsRunning(pid)) continue;
    if (QDir(temp.filePath(name)).removeRecursively()) ++removed;
  }
  return removed;
}

bool HelpWindow::Open(const QString& help_file) {
  if (engine_ && opened_file_ == help_file) return true;
  engine_.reset();
  browser_->SetEngine(nullptr);
  if (!QFileInfo(help_file).isFile()) return false;
  // The engine keeps its list of help files in a collection of its own; one
  // private collection per program run.
  collection_dir_ =
      std::make_unique<QTemporaryDir>(QDir(QDir::tempPath())
                                          .filePath(QStringLiteral("%1%2-XXXXXX")
                                                        .arg(QLatin1String(kFolderPrefix))
                                                        .arg(platform::CurrentProcessId())));
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
