// The help window: the compiled help file (a Qt help file written beside
// the program as toponyx.chm) read through the help engine and shown in a
// text browser, topic by topic. Links between the pages are followed in the
// window (Back and Forward, Alt+Left and Alt+Right, go through them); web
// links go to the web browser.
#pragma once

#include <QTemporaryDir>
#include <QTextBrowser>
#include <QWidget>
#include <functional>
#include <memory>

class QHelpEngineCore;

namespace toponyx::desktop {

inline constexpr char kHelpNamespace[] = "org.toponyx.creator";
inline constexpr char kHelpTopic[] = "toponyx.html";

class HelpBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  explicit HelpBrowser(QWidget* parent = nullptr);
  void SetEngine(QHelpEngineCore* engine) { engine_ = engine; }
  QVariant loadResource(int type, const QUrl& name) override;
  // A link clicked: a page of the help is shown here, a web address goes
  // to open_external, anything else is left alone.
  void FollowLink(const QUrl& url);
  std::function<void(const QUrl&)> open_external;

 private:
  QHelpEngineCore* engine_ = nullptr;
};

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);
  ~HelpWindow() override;

  // Opens the help file and shows the topic; false when the file cannot be
  // read as help (the window stays hidden then).
  bool ShowTopic(const QString& help_file, const QString& topic);
  HelpBrowser* Browser() const { return browser_; }

  // The help engine's working folders in the temporary folder are named
  // after the program's process; this removes those of processes that no
  // longer run (ended by a kill, a crash or a power cut). The number removed.
  static int RemoveAbandonedFolders();

 private:
  bool Open(const QString& help_file);

  HelpBrowser* browser_;
  std::unique_ptr<QTemporaryDir> collection_dir_;
  std::unique_ptr<QHelpEngineCore> engine_;
  QString opened_file_;
};

}  // namespace toponyx::desktop
