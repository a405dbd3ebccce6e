// What the main window offers besides the five steps: help links followed
// in the help window, "Open database…" without a run, the file list that
// follows the download folder, files and folders dropped onto the window,
// the keyboard, and the web button without a browser.
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <QtTest>
#include <filesystem>

#include "DesktopFixture.h"
#include "main/AboutBox.h"
#include "main/Dlgfm.h"
#include "main/DpnlEdit.h"
#include "main/FileControls.h"
#include "main/FolderEdit.h"
#include "main/HelpWindow.h"
#include "main/WebBrowser.h"
#include "platform/System.h"
#include "view/Viewfm.h"

using namespace toponyx;
using namespace toponyx::desktop;
using namespace toponyx::testing;

namespace {

const char kLookout[] = "Lookout,Summit,,-36 50 54.6,174 45 48\r\n";

QStringList Items(const QListWidget* list) {
  QStringList names;
  for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
  return names;
}

QStringList Ticked(const QListWidget* list) {
  QStringList names;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->checkState() == Qt::Checked) names << list->item(i)->text();
  }
  return names;
}

// Clicks the link whose text is shown, as the user would.
void ClickLinkText(HelpBrowser* browser, const QString& text, const QString& expected_href) {
  const QTextCursor found = browser->document()->find(text);
  QVERIFY2(!found.isNull(), qPrintable(text));
  QTextCursor inside(browser->document());
  inside.setPosition(found.selectionStart() + 1);
  const QPoint at = browser->cursorRect(inside).center();
  QCOMPARE(browser->anchorAt(at), expected_href);
  QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, at);
}

void Drop(QWidget* window, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
  data.setUrls(urls);
  const QPoint at = window->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &drop);
}

}  // namespace

class ReachTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { platform::SetDecimalSeparator('.'); }

  void HelpFollowsItsLinks() {
    DesktopFolders f;
    Session s(f);
    QStringList opened;
    s.main()->web_browser_found = [] { return true; };
    s.main()->open_url = [&](const QString& url) {
      opened << url;
      return true;
    };
    s.main()->bHelpClick();
    HelpWindow* help = s.main()->Help();
    QVERIFY(help && help->isVisible());
    HelpBrowser* browser = help->Browser();
    const QString doc = "qthelp://org.toponyx.creator/doc/";

    // A page of the contents, in the window itself.
    ClickLinkText(browser, "Input files: what they are", "formats.html");
    QCOMPARE(browser->source().toString(), doc + "formats.html");
    const QString page = browser->toPlainText();
    for (const char* address :
         {"https://www.usgs.gov/us-board-on-geographic-names/download-gnis-data",
          "https://geonames.nga.mil/geonames/GNSData/",
          "https://download.geonames.org/export/dump/",
          "https://osdatahub.os.uk/downloads/open/50kGazetteer"}) {
      QVERIFY2(page.contains(address), address);
    }
    // A web address goes to the browser; the page stays.
    ClickLinkText(browser, "https://download.geonames.org/export/dump/",
                  "https://download.geonames.org/export/dump/");
    QCOMPARE(opened, QStringList{"https://download.geonames.org/export/dump/"});
    QCOMPARE(browser->source().toString(), doc + "formats.html");
    // Without a browser, the box says so over the help window, even while
    // the window system still reports the main window active (a box over it
    // would stand behind the help).
    s.main()->web_browser_found = [] { return false; };
    s.main()->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), s.main());
    ClickLinkText(browser, "https://download.geonames.org/export/dump/",
                  "https://download.geonames.org/export/dump/");
    QCOMPARE(s.prompter.Texts(),
             QStringList{NoWebBrowserText("https://download.geonames.org/export/dump/")});
    QCOMPARE(s.prompter.boxes[0].parent, help);
    QCOMPARE(opened.size(), 1);
    s.main()->web_browser_found = [] { return true; };
    // The navigation line, then back and forward by the keyboard.
    ClickLinkText(browser, "Troubleshooting", "troubleshooting.html");
    QCOMPARE(browser->source().toString(), doc + "troubleshooting.html");
    help->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(help));
    QTest::keyClick(help, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(browser->source().toString(), doc + "formats.html");
    QTest::keyClick(help, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(browser->source().toString(), doc + "toponyx.html");
    QTest::keyClick(help, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(browser->source().toString(), doc + "formats.html");
    QCOMPARE(opened.size(), 1);  // no help page ever went to the browser
    // The steps are headed by the captions of the window's groups.
    ClickLinkText(browser, "The five steps", "steps.html");
    const QString steps = browser->toPlainText();
    for (const QGroupBox* group : s.main()->findChildren<QGroupBox*>()) {
      QVERIFY2(steps.contains("\n" + group->title().trimmed() + "\n"), qPrintable(group->title()));
    }
    QTest::keyClick(help, Qt::Key_Escape);
    QVERIFY(!help->isVisible());
  }

  void OpenDatabaseWithoutARun() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/home.tpx", kLookout);
    const std::string save = f.dir.File("out");
    {
      Session earlier(f, "Last Save Directory=" + save + "\r\n");
      earlier.LB1()->item(0)->setCheckState(Qt::Checked);
      earlier.main()->DatabaseName()->setText("lookouts");
      earlier.main()->SaveFolder()->setText(Q(save));
      earlier.main()->bCreateClick();
      QVERIFY(QFileInfo::exists(Q(save + "/lookouts.names")));
    }
    Session s(f);
    QVERIFY(!s.Button("bView")->isEnabled());
    TViewfm* view = s.forms->Viewfm();
    QString filter;
    connect(view, &TViewfm::DialogOpened, this, [&](QFileDialog* d) {
      QVERIFY(view->isVisible());  // the View window comes with its dialog
      filter = d->nameFilters().join(";");
      d->selectFile(Q(save + "/lookouts.names"));
      static_cast<QDialog*>(d)->accept();
    });
    s.main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.main()));
    QTest::keyClick(s.main(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(filter, QString("Name databases (*.names)"));
    QVERIFY(view->isVisible());
    QCOMPARE(view->Model().rowCount(), 1);
    QCOMPARE(view->Model().data(view->Model().index(0, 0)).toString(), QString("Lookout"));
    QVERIFY(!s.Button("bView")->isEnabled());  // as the design has it, until a run
    view->close();
    // The button beside the database name does the same.
    filter.clear();
    s.Button("bOpenDatabase")->click();
    QCOMPARE(view->Model().rowCount(), 1);
    QCOMPARE(filter, QString("Name databases (*.names)"));
  }

  void FileListFollowsTheFolder() {
    DesktopFolders f;
    for (const char* name : {"a.tpx", "b.tpx", "c.tpx"})
      WriteFileBytes(f.download + "/" + name, "x");
    Session s(f);
    s.LB1()->item(1)->setCheckState(Qt::Checked);  // b.tpx
    s.LB1()->item(2)->setCheckState(Qt::Checked);  // c.tpx
    std::filesystem::remove(f.download + "/c.tpx");
    WriteFileBytes(f.download + "/d.tpx", "x");      // downloaded meanwhile
    WriteFileBytes(f.download + "/notes.xyz", "x");  // no file the program reads
    QTRY_COMPARE_WITH_TIMEOUT(Items(s.LB1()), (QStringList{"a.tpx", "b.tpx", "d.tpx"}), 10000);
    QCOMPARE(Ticked(s.LB1()), QStringList{"b.tpx"});
    // After the dialog's OK, the new folder is the one followed.
    DesktopFolders g;
    TDlgfm* dlg = s.forms->Dlgfm();
    QTimer::singleShot(0, dlg, [&] {
      dlg->DirectoryListBox1()->SetDirectory(Q(g.download));
      dlg->OKBtnClick();
    });
    s.main()->SpeedButton1Click();
    QCOMPARE(Items(s.LB1()), QStringList{});
    WriteFileBytes(g.download + "/new.zip", "x");
    WriteFileBytes(f.download + "/e.tpx", "x");
    QTRY_COMPARE_WITH_TIMEOUT(Items(s.LB1()), QStringList{"new.zip"}, 10000);
  }

  void DroppedFilesAndFolders() {
    DesktopFolders f;
    for (const char* name : {"a.tpx", "b.txt", "c.wpt", "x.csv"}) {
      WriteFileBytes(f.download + "/" + name, "x");
    }
    DesktopFolders g;
    for (const char* name : {"one.zip", "two.gz"}) WriteFileBytes(g.download + "/" + name, "x");
    Session s(f);

    // A folder: the new download folder, its files unticked.
    s.LB1()->item(0)->setCheckState(Qt::Checked);
    Drop(s.main(), {Q(g.download)});
    QCOMPARE(s.main()->DownloadFolder(), Q(g.download));
    QCOMPARE(Items(s.LB1()), (QStringList{"one.zip", "two.gz"}));
    QCOMPARE(Ticked(s.LB1()), QStringList{});

    // Files of another folder: that folder, with them ticked; a CSV
    // download, which the list's filter leaves out, joins the list (a file
    // that a run does not read is passed over).
    WriteFileBytes(f.download + "/notes.doc", "x");
    Drop(s.main(), {Q(f.download + "/c.wpt"), Q(f.download + "/a.tpx"), Q(f.download + "/x.csv"),
                    Q(f.download + "/notes.doc")});
    QCOMPARE(s.main()->DownloadFolder(), Q(f.download));
    QCOMPARE(Items(s.LB1()), (QStringList{"a.tpx", "b.txt", "c.wpt", "x.csv"}));
    QCOMPARE(Ticked(s.LB1()), (QStringList{"a.tpx", "c.wpt", "x.csv"}));
    // One more of the same folder: added to the ticks.
    Drop(s.main(), {Q(f.download + "/b.txt")});
    QCOMPARE(Ticked(s.LB1()), (QStringList{"a.tpx", "b.txt", "c.wpt", "x.csv"}));
  }

  // The main job from the first start to a View of the result, by the
  // keyboard alone: Tab, Enter, mnemonics, typing.
  void WholeJobByKeyboard() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/old.tpx", kLookout);
    DesktopFolders g;
    WriteFileBytes(g.download + "/home.tpx", kLookout);
    WriteFileBytes(g.download + "/more.tpx", "Summit Two,Summit,,-36.5,174.5\r\n");
    Session s(f);
    TMainfm* m = s.main();
    m->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m));
    auto focused = [m] {
      QWidget* w = m->focusWidget();
      return w ? w->objectName() : QString();
    };
    // The focus starts on the list of downloads, and Tab goes through the
    // steps in order, each folder's browse button after its edit (View is
    // not there before a run).
    QCOMPARE(focused(), QString("LB1"));
    QStringList order;
    for (int i = 0; i < 18; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* w = QApplication::focusWidget();
      order << (qobject_cast<TFolderEdit*>(w->parentWidget())
                    ? w->parentWidget()->objectName() + "/" + w->objectName()
                    : w->objectName());
    }
    QCOMPARE(order,
             (QStringList{"CB1", "eColumns", "deSaveFilesPath", "deSaveFilesPath/BrowseButton",
                          "deTempFilesPath", "deTempFilesPath/BrowseButton", "eDBName",
                          "bOpenDatabase", "bCreate", "bOptions", "bExit", "bHelp", "SpeedButton3",
                          "SpeedButton2", "eHtml", "SpeedButton1", "LB1", "CB1"}));

    // Alt+F: the folder dialog; Alt+N, the folder typed, Enter to go there,
    // Tab to its files and Enter for OK.
    TDlgfm* dlg = s.forms->Dlgfm();
    QStringList dialog_files;
    bool answered = false;
    QTimer answer;  // Alt+F presses the button as a click that shows: the dialog comes after it
    connect(&answer, &QTimer::timeout, dlg, [&] {
      if (!dlg->isVisible() || answered) return;
      answered = true;
      // The offscreen platform does not activate a modal dialog: do it as
      // a window manager does.
      QApplication::setActiveWindow(dlg);
      QTest::keyClick(dlg, Qt::Key_N, Qt::AltModifier);
      QCOMPARE(dlg->focusWidget(), dlg->EListFilesPath2());
      QTest::keyClick(dlg->EListFilesPath2(), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(dlg->EListFilesPath2(), Q(g.download));
      QTest::keyClick(dlg->EListFilesPath2(), Qt::Key_Return);
      QVERIFY(dlg->isVisible());
      dialog_files = Items(dlg->FLB1());
      QTest::keyClick(dlg->focusWidget(), Qt::Key_Tab);
      QTest::keyClick(dlg->focusWidget(), Qt::Key_Tab);
      QCOMPARE(dlg->focusWidget(), dlg->FLB1());
      QTest::keyClick(dlg->FLB1(), Qt::Key_Return);
    });
    answer.start(10);
    QTest::keyClick(m, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(answered && !dlg->isVisible());
    answer.stop();
    QCOMPARE(dialog_files, (QStringList{"home.tpx", "more.tpx"}));
    QCOMPARE(m->DownloadFolder(), Q(g.download));
    QCOMPARE(Items(s.LB1()), (QStringList{"home.tpx", "more.tpx"}));
    // Back to the main window, as the window manager does when a dialog closes.
    QApplication::setActiveWindow(m);
    QVERIFY(QTest::qWaitForWindowActive(m));

    // Alt+L and Space tick the first file; Alt+A ticks them all.
    QTest::keyClick(m, Qt::Key_L, Qt::AltModifier);
    QCOMPARE(focused(), QString("LB1"));
    QTest::keyClick(s.LB1(), Qt::Key_Space);
    QCOMPARE(Ticked(s.LB1()), QStringList{"home.tpx"});
    QTest::keyClick(m, Qt::Key_A, Qt::AltModifier);  // a mnemonic clicks after a moment
    QTRY_COMPARE(Ticked(s.LB1()), (QStringList{"home.tpx", "more.tpx"}));
    QVERIFY(s.CB1()->isChecked());

    // Alt+N, the name, Enter: on to Create; Enter again: the run.
    QTest::keyClick(m, Qt::Key_N, Qt::AltModifier);
    QCOMPARE(focused(), QString("eDBName"));
    QTest::keyClicks(m->DatabaseName(), "walk");
    QTest::keyClick(m->DatabaseName(), Qt::Key_Return);
    QCOMPARE(focused(), QString("bCreate"));
    QVERIFY(s.prompter.boxes.empty());
    QTest::keyClick(m->focusWidget(), Qt::Key_Return);
    QCOMPARE(m->LastOutcome().status, pipeline::BuildStatus::kSucceeded);
    QVERIFY2(m->ResultText().startsWith("2 places written to "), qPrintable(m->ResultText()));
    QVERIFY(s.prompter.boxes.empty());

    // Alt+V: the View window with the two places; Esc closes it.
    QApplication::setActiveWindow(m);
    QTest::keyClick(m, Qt::Key_V, Qt::AltModifier);
    TViewfm* view = s.forms->Viewfm();
    QTRY_VERIFY(view->isVisible());
    QCOMPARE(view->Model().rowCount(), 2);
    QVERIFY(QTest::qWaitForWindowActive(view));
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(!view->isVisible());
  }

  void KeyboardAndWebButton() {
    DesktopFolders f;
    Session s(f);
    TMainfm* m = s.main();
    // Every control of the form takes the focus from the keyboard, the
    // browse buttons of the folder edits too.
    for (QWidget* w : m->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QListWidget*>(w);
      if (control && w->isVisibleTo(m)) {
        QVERIFY2(w->focusPolicy() & Qt::TabFocus, qPrintable(w->objectName()));
      }
    }
    m->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m));

    // Alt+F: the folder button of step 2.
    // The button is pressed as a click that shows, the dialog comes after it.
    bool dialog_shown = false;
    TDlgfm* dlg = s.forms->Dlgfm();
    QTimer answer;
    connect(&answer, &QTimer::timeout, dlg, [&] {
      if (!dlg->isVisible()) return;
      dialog_shown = true;
      dlg->CancelBtnClick();
    });
    answer.start(10);
    QTest::keyClick(m, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(dialog_shown);
    answer.stop();
    // F4 in a folder edit: its "Select Directory" dialog.
    bool browsed = false;
    connect(m->SaveFolder(), &TFolderEdit::DialogOpened, this, [&](TSelectDirectoryDialog* d) {
      browsed = true;
      d->reject();
    });
    QTest::keyClick(m->SaveFolder(), Qt::Key_F4);
    QVERIFY(browsed);
    // Enter in an edit is Create, the default button: with nothing ticked
    // and no name, its two refusals.
    m->findChild<QLineEdit*>("eHtml")->setFocus();
    QTest::keyClick(m->findChild<QLineEdit*>("eHtml"), Qt::Key_Return);
    QCOMPARE(s.prompter.boxes.size(), size_t{2});
    QCOMPARE(s.prompter.boxes[0].text, QString("There are no files in the list or none selected."));
    s.prompter.boxes.clear();
    // F1: help (the main window active again, as the window manager makes
    // it when a dialog closes).
    m->windowHandle()->requestActivate();
    QTRY_COMPARE(QGuiApplication::focusWindow(), m->windowHandle());
    QTest::keyClick(m, Qt::Key_F1);
    QVERIFY(m->Help() && m->Help()->isVisible());
    m->Help()->close();

    // Open WWW without any browser: a box says so, nothing is handed over.
    QStringList opened;
    m->open_url = [&](const QString& url) {
      opened << url;
      return true;
    };
    m->web_browser_found = [] { return false; };
    m->findChild<QLineEdit*>("eHtml")->setText("https://example.org/gazetteers");
    m->SpeedButton2Click();
    QCOMPARE(opened, QStringList{});
    QCOMPARE(s.prompter.Texts(), QStringList{NoWebBrowserText("https://example.org/gazetteers")});
    QCOMPARE(s.prompter.boxes[0].kind, MessageKind::kWarning);

    // About: the licence and the web address under the version.
    QCOMPARE(s.forms->AboutBox()->LicenceText(),
             QString("Free software under the MIT licence\nhttps://toponyx.example.org"));
  }
};

QTEST_MAIN(ReachTest)
#include "ReachTest.moc"
