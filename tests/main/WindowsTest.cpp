// The main window and its dialogs: the file list and the folder dialog's
// handlers, Select all, Create runs with their messages and the progress
// window, View after a run, the browse dialog, the web button, About, Help.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>

#include "DesktopFixture.h"
#include "main/AboutBox.h"
#include "main/Application.h"
#include "main/DirLabel.h"
#include "main/Dlgfm.h"
#include "main/Dlgfm2.h"
#include "main/DpnlEdit.h"
#include "main/FileControls.h"
#include "main/FolderEdit.h"
#include "main/HelpWindow.h"
#include "main/Mainfm.h"
#include "platform/System.h"
#include "view/Viewfm.h"

using namespace toponyx;
using namespace toponyx::desktop;
using namespace toponyx::testing;

namespace {

QStringList Items(const QListWidget* list) {
  QStringList names;
  for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
  return names;
}

QList<bool> Ticks(const QListWidget* list) {
  QList<bool> ticks;
  for (int i = 0; i < list->count(); ++i) ticks << (list->item(i)->checkState() == Qt::Checked);
  return ticks;
}

// The folder dialog answered from inside its modal loop.
void AnswerDialog(TDlgfm* dialog, std::function<void()> act) {
  QTimer::singleShot(0, dialog, std::move(act));
}

const char kLookout[] = "Lookout,Summit,,-36 50 54.6,174 45 48\r\n";

}  // namespace

class WindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { platform::SetDecimalSeparator('.'); }

  void FileListAndFilters() {
    DesktopFolders f;
    for (const char* name : {"b.ZIP", "a.gz", "Readme.txt", "route.wpt", "home.tpx", "x.csv",
                             "_first.txt", "Zulu.wpt"}) {
      WriteFileBytes(f.download + "/" + name, "x");
    }
    Session s(f, "Default Filetype=1\r\n");
    QCOMPARE(s.main()->windowTitle(), QString("Toponyx Creator (version 1.10a)"));
    QCOMPARE(s.main()->size(), QSize(491, 433));
    // The first list shows every kind of file the program reads, whatever
    // the default file type; names sorted with letters compared as capitals
    // ("_" after "Z"), byte order otherwise.
    QCOMPARE(Items(s.LB1()), (QStringList{"a.gz", "b.ZIP", "home.tpx", "Readme.txt", "route.wpt",
                                          "x.csv", "Zulu.wpt", "_first.txt"}));
    QCOMPARE(Ticks(s.LB1()), QList<bool>(8, false));
    TDlgfm* dlg = s.forms->Dlgfm();
    QCOMPARE(dlg->FilterComboBox1()->currentIndex(), 1);
    // Every format the program reads first, then the written single-format
    // filters.
    QCOMPARE(dlg->FilterComboBox1()->count(), 3);
    QCOMPARE(
        dlg->FilterComboBox1()->itemText(0),
        QString("All Data Files (*.zip) (*.gz) (*.txt) (*.wpt) (*.tpx) (*.csv) (*.gpx) (*.osm.pbf) "
                "(*.pbf) (*.osm) (*.osm.bz2) (*.kml) (*.kmz) (*.geojson) (*.json) (*.geojsons) (*.geojsonl) (*.tsv)"));
    QCOMPARE(dlg->FilterComboBox1()->itemText(1), QString("Carthovista Waypoint Files (*.wpt)"));
    QCOMPARE(dlg->FilterComboBox1()->itemText(2), QString("Toponyx Text Files (*.tpx)"));

    // Opened and confirmed: only waypoint files.
    AnswerDialog(dlg, [&] {
      QVERIFY(dlg->isVisible());
      QCOMPARE(dlg->windowTitle(), QString("Dialog"));
      QCOMPARE(dlg->EListFilesPath2()->text(), Q(f.download));
      QCOMPARE(dlg->FLB1()->Mask(), QString("*.wpt"));
      dlg->OKBtnClick();
    });
    s.main()->SpeedButton1Click();
    QCOMPARE(Items(s.LB1()), (QStringList{"route.wpt", "Zulu.wpt"}));

    // Another filter, then Cancel: nothing changes in the main window.
    s.LB1()->item(0)->setCheckState(Qt::Checked);
    AnswerDialog(dlg, [&] {
      dlg->FilterComboBox1()->setCurrentIndex(2);
      QCOMPARE(Items(dlg->FLB1()), QStringList{"home.tpx"});
      dlg->CancelBtnClick();
    });
    s.main()->SpeedButton1Click();
    QCOMPARE(Items(s.LB1()), (QStringList{"route.wpt", "Zulu.wpt"}));
    QCOMPARE(Ticks(s.LB1()), (QList<bool>{true, false}));
    QCOMPARE(s.main()->DefaultFiletype(), 1);

    // The next opening resets the mask from the default file type, while
    // the filter list keeps the entry chosen before; OK then takes it.
    AnswerDialog(dlg, [&] {
      QCOMPARE(dlg->FLB1()->Mask(), QString("*.wpt"));
      QCOMPARE(dlg->FilterComboBox1()->currentIndex(), 2);
      dlg->OKBtnClick();
    });
    s.main()->SpeedButton1Click();
    QCOMPARE(s.main()->DefaultFiletype(), 2);
    QCOMPARE(Items(s.LB1()), QStringList{"home.tpx"});
  }

  void DialogOkTakesTheFolder() {
    DesktopFolders f;
    Session s(f);
    TDlgfm* dlg = s.forms->Dlgfm();
    const std::string fresh = f.dir.File("new/deeper");
    AnswerDialog(dlg, [&] {
      // The folder shown in the dialog, as the folder list would give it,
      // with blanks and a trailing separator.
      dlg->EListFilesPath2()->setText(Q("  " + fresh + "/ "));
      dlg->OKBtnClick();
    });
    s.main()->SpeedButton1Click();
    QCOMPARE(s.main()->DownloadFolder(), Q(fresh));
    QVERIFY(QFileInfo(Q(fresh)).isDir());  // created with its parents
    QCOMPARE(s.LB1()->count(), 0);

    // Folder list and dialog edit follow each other; a drive goes to its root.
    dlg->DirectoryListBox1()->SetDirectory(Q(f.download));
    QCOMPARE(dlg->EListFilesPath2()->text(), Q(f.download));
    QCOMPARE(dlg->DriveComboBox1()->itemText(0), QString("/"));
  }

  // Also run at 200 % (test_desktop_windowstest_200).
  void DialogTypedFolderAndItsBoxes() {
    DesktopFolders f;
    DesktopFolders g;
    for (const char* name : {"a.tpx", "b.zip"}) WriteFileBytes(g.download + "/" + name, "x");
    WriteFileBytes(f.download + "/old.tpx", "x");
    Session s(f);
    TDlgfm* dlg = s.forms->Dlgfm();
    bool stayed_open = false;
    QString shown_home;
    AnswerDialog(dlg, [&] {
      QLineEdit* edit = dlg->EListFilesPath2();
      QVERIFY(!edit->isReadOnly());
      edit->setFocus();
      // Enter in the folder edit goes to the folder typed; the dialog stays.
      edit->selectAll();
      QTest::keyClicks(edit, Q(g.download) + "/");
      QTest::keyClick(edit, Qt::Key_Return);
      stayed_open = dlg->isVisible();
      QCOMPARE(dlg->DirectoryListBox1()->Directory(), Q(g.download));
      QCOMPARE(Items(dlg->FLB1()), (QStringList{"a.tpx", "b.zip"}));
      // "~" is the home folder, the first drive after the root.
      edit->setText("~");
      QTest::keyClick(edit, Qt::Key_Return);
      shown_home = dlg->DirectoryListBox1()->Directory();
      QCOMPARE(dlg->DriveComboBox1()->currentText(), QDir::homePath());
      // A folder typed without Enter is taken by OK with its own files.
      edit->setText(Q(g.download));
      QTest::keyClick(dlg->FLB1(), Qt::Key_Return);  // the default button
    });
    s.main()->SpeedButton1Click();
    QVERIFY(stayed_open);
    QCOMPARE(shown_home, QDir::homePath());
    QVERIFY(!dlg->isVisible());
    QCOMPARE(s.main()->DownloadFolder(), Q(g.download));
    QCOMPARE(Items(s.LB1()), (QStringList{"a.tpx", "b.zip"}));
    QCOMPARE(dlg->DriveComboBox1()->itemText(1), QDir::homePath());

    // The file type box: a caption too long for it shows its start and
    // "…" within the box, the whole caption as its tip; the list that
    // drops down is as wide as the longest caption.
    TFilterComboBox* filter = dlg->FilterComboBox1();
    filter->setCurrentIndex(0);
    dlg->show();
    const QString caption = filter->itemText(0);
    const QString shown = filter->ShownText();
    QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
    QVERIFY(caption.startsWith(shown.chopped(1)));
    QVERIFY(filter->fontMetrics().horizontalAdvance(shown) < filter->width());
    QCOMPARE(filter->toolTip(), caption);
    filter->showPopup();
    QVERIFY(filter->view()->width() > filter->view()->fontMetrics().horizontalAdvance(caption));
    filter->hidePopup();
    dlg->hide();
  }

  void SelectAllFiles() {
    DesktopFolders f;
    Session empty(f);
    empty.CB1()->click();  // an empty list: nothing to tick, the box stays clear
    QVERIFY(!empty.CB1()->isChecked());
    QCOMPARE(empty.LB1()->count(), 0);

    DesktopFolders g;
    for (const char* name : {"a.tpx", "b.tpx", "c.txt"})
      WriteFileBytes(g.download + "/" + name, "x");
    Session s(g);
    s.CB1()->click();
    QCOMPARE(Ticks(s.LB1()), QList<bool>(3, true));
    s.CB1()->click();
    QCOMPARE(Ticks(s.LB1()), QList<bool>(3, false));
    // The box follows the ticks given by hand: set with the last one,
    // cleared with any one taken away.
    s.LB1()->item(0)->setCheckState(Qt::Checked);
    s.LB1()->item(1)->setCheckState(Qt::Checked);
    QVERIFY(!s.CB1()->isChecked());
    s.LB1()->item(2)->setCheckState(Qt::Checked);
    QVERIFY(s.CB1()->isChecked());
    s.LB1()->item(1)->setCheckState(Qt::Unchecked);
    QVERIFY(!s.CB1()->isChecked());
    s.CB1()->click();
    QCOMPARE(Ticks(s.LB1()), QList<bool>(3, true));
    // Confirming the dialog refills the list unticked, and the box with it;
    // so does a folder whose files are not all ticked.
    TDlgfm* dlg = s.forms->Dlgfm();
    AnswerDialog(dlg, [&] { dlg->OKBtnClick(); });
    s.main()->SpeedButton1Click();
    QVERIFY(!s.CB1()->isChecked());
    QCOMPARE(Ticks(s.LB1()), QList<bool>(3, false));
    s.CB1()->click();
    WriteFileBytes(g.download + "/d.tpx", "x");  // a new download, unticked
    QTRY_COMPARE_WITH_TIMEOUT(s.LB1()->count(), 4, 10000);
    QVERIFY(!s.CB1()->isChecked());
  }

  void CreateRefusals() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/home.tpx", kLookout);
    const std::string save = f.dir.File("out");
    Session s(f, "Last Save Directory=" + save + "\r\n");
    auto* name = s.main()->DatabaseName();

    name->setText("   ");
    s.main()->bCreateClick();
    QCOMPARE(s.prompter.Texts(),
             (QStringList{"There are no files in the list or none selected.",
                          "Please enter the Database Filename.\n\r\n\rFor example:\n\rUse the "
                          "name of the country or region."}));
    QCOMPARE(s.prompter.boxes[0].kind, MessageKind::kWarning);
    QCOMPARE(s.prompter.boxes[1].kind, MessageKind::kWarning);

    s.prompter.boxes.clear();
    name->setText("what?");
    s.main()->bCreateClick();
    QCOMPARE(s.prompter.Texts(),
             QStringList{"A filename cannot contain any of the following characters:\r\n"
                         "\\ / : * ? \" < > |"});
    QCOMPARE(s.prompter.boxes[0].kind, MessageKind::kPlain);

    s.prompter.boxes.clear();
    s.LB1()->item(0)->setCheckState(Qt::Checked);
    name->setText("");
    s.main()->bCreateClick();
    QCOMPARE(s.prompter.boxes.size(), size_t{1});
    QCOMPARE(s.prompter.boxes[0].text.left(27), QString("Please enter the Database F"));
    // A refused request touches nothing.
    QVERIFY(!QFileInfo::exists(Q(save)));
    QVERIFY(!s.Button("bView")->isEnabled());
  }

  void CreateRunAndView() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/home.tpx", kLookout);
    WriteFileBytes(f.download + "/notes.txt", "nothing a reader knows\r\n");
    const std::string save = f.dir.File("out");
    const std::string staging = f.dir.File("staging");
    Session s(f, "Last Save Directory=" + save + "\r\nLast Temp Directory=" + staging + "\r\n");
    QCOMPARE(s.main()->SaveFolder()->text(), Q(f.program + "/Toponyx"));  // out/ doesn't exist
    s.main()->SaveFolder()->setText(Q(save));
    s.main()->TempFolder()->setText(Q(staging));
    s.LB1()->item(0)->setCheckState(Qt::Checked);  // home.tpx
    s.main()->DatabaseName()->setText("  lookouts ");

    // What the progress window shows, sampled whenever the run lets the
    // window system breathe.
    TDlgfm2* progress = s.forms->Dlgfm2();
    QStringList seen;
    QTimer sampler;
    sampler.setInterval(0);
    connect(&sampler, &QTimer::timeout, [&] {
      QString state = progress->isVisible() ? "shown" : "hidden";
      for (int i = 1; i <= 4; ++i) {
        state += progress->StageLabel(i)->font().bold() ? " B" : " -";
        state += progress->StageTick(i)->isVisibleTo(progress) ? "v" : ".";
      }
      if (seen.isEmpty() || seen.back() != state) seen << state;
    });
    sampler.start();
    s.main()->bCreateClick();
    sampler.stop();

    QVERIFY2(s.prompter.boxes.empty(), qPrintable(s.prompter.Texts().join("|")));
    QCOMPARE(static_cast<int>(s.main()->LastOutcome().status),
             static_cast<int>(pipeline::BuildStatus::kSucceeded));
    QVERIFY(QFileInfo::exists(Q(save + "/lookouts.names")));
    QVERIFY(QFileInfo::exists(Q(save + "/lookouts.types")));
    QVERIFY(s.Button("bView")->isEnabled());
    QVERIFY(!progress->isVisible());
    QVERIFY(QFileInfo::exists(Q(f.download + "/home.tpx")));
    QVERIFY(!QFileInfo::exists(Q(staging + "/temp.names")));
    // Stage by stage: bold while running, a tick when done.
    QVERIFY2(seen.contains("shown B. -. -. -.") && seen.contains("shown -v B. -. -.") &&
                 seen.contains("shown -v -v B. -.") && seen.contains("shown -v -v -v B.") &&
                 seen.contains("shown -v -v -v Bv"),
             qPrintable(seen.join(" | ")));
    QCOMPARE(progress->windowTitle(), QString("Please wait"));
    QCOMPARE(progress->StageLabel(3)->text(), QString("Generating databases"));
    QVERIFY(!progress->StageLabel(4)->font().bold());
    QCOMPARE(progress->isModal() || progress->windowModality() == Qt::ApplicationModal, true);

    // View shows the place just written.
    s.main()->bViewClick();
    TViewfm* view = s.forms->Viewfm();
    QVERIFY(view->isVisible());
    QCOMPARE(view->Model().rowCount(), 1);
    QCOMPARE(view->Model().data(view->Model().index(0, 0)).toString(), QString("Lookout"));
    QCOMPARE(view->Model().data(view->Model().index(0, 3)).toString(), QString("-36.84850"));
    QCOMPARE(view->StatusText(), QString("Record No. 1"));

    // A run while View holds the table fails with the table's message
    // after reading its input; the View window stays as it was.
    s.main()->bCreateClick();
    QCOMPARE(s.prompter.Texts(), QStringList{"Cannot perform this operation on an open dataset"});
    QCOMPARE(s.prompter.boxes[0].kind, MessageKind::kError);
    QVERIFY(view->isVisible());
    view->close();
    s.prompter.boxes.clear();
    // Relative folder texts mean folders inside the program folder, for the
    // folders made and for the files in them alike.
    s.main()->SaveFolder()->setText("maps/../saved");
    s.main()->TempFolder()->setText("./stage");
    s.main()->bCreateClick();
    QVERIFY2(s.prompter.boxes.empty(), qPrintable(s.prompter.Texts().join("|")));
    QVERIFY(QFileInfo::exists(Q(f.program + "/saved/lookouts.names")));
    QVERIFY(QFileInfo(Q(f.program + "/stage")).isDir());
  }

  void BrowseForFolder() {
    DesktopFolders f;
    Session s(f);
    TFolderEdit* edit = s.main()->SaveFolder();
    const std::string wanted = f.dir.File("made/here");
    s.prompter.answers = {false, true};
    connect(edit, &TFolderEdit::DialogOpened, this, [&](TSelectDirectoryDialog* d) {
      QCOMPARE(d->windowTitle(), QString("Select Directory"));
      d->FolderName()->setText(Q(wanted));
      d->accept();  // "No": the dialog stays open
      QVERIFY(!QFileInfo::exists(Q(wanted)));
      d->accept();  // "Yes": created
    });
    edit->Browse();
    QCOMPARE(s.prompter.questions,
             QStringList(2, "The specified directory does not exist. Create it?"));
    QVERIFY(QFileInfo(Q(wanted)).isDir());
    QCOMPARE(edit->text(), Q(wanted));
  }

  void WebAboutAndHelp() {
    DesktopFolders f;
    Session s(f);
    QStringList opened;
    s.main()->web_browser_found = [] { return true; };
    s.main()->open_url = [&](const QString& url) {
      opened << url;
      return false;  // a location the system can't open: no message
    };
    s.main()->findChild<QLineEdit*>("eHtml")->setText("https://example.org/gazetteers");
    s.main()->SpeedButton2Click();
    QCOMPARE(opened, QStringList{"https://example.org/gazetteers"});
    QVERIFY(s.prompter.boxes.empty());

    TAboutBox* about = s.forms->AboutBox();
    QCOMPARE(about->windowTitle(), QString("About"));
    QCOMPARE(about->size(), QSize(504, 214));
    QCOMPARE(about->VersionText(), QString("Version : 1.10a"));
    QVERIFY(about->HasPictures());
    // The window icon carries the small and the large sizes of the theme's.
    const QList<QSize> sizes = ProgramIcon().availableSizes();
    QVERIFY2(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(256, 256)),
             qPrintable(QString::number(sizes.size())));
    QTimer::singleShot(0, about, [about] { QTest::keyClick(about, Qt::Key_Escape); });
    s.main()->SpeedButton3Click();
    QVERIFY(!about->isVisible());

    s.main()->bHelpClick();
    HelpWindow* help = s.main()->Help();
    QVERIFY(help != nullptr && help->isVisible());
    QCOMPARE(help->Browser()->source().toString(),
             QString("qthelp://org.toponyx.creator/doc/toponyx.html"));
    QVERIFY(help->Browser()->toPlainText().contains("name database"));
    help->close();

    // No help file beside the program: Help does nothing.
    QFile::remove(s.main()->HelpFilePath());
    DesktopFolders g;
    Session other(g);
    QFile::remove(other.main()->HelpFilePath());
    other.main()->bHelpClick();
    QVERIFY(other.main()->Help() == nullptr || !other.main()->Help()->isVisible());
  }
};

QTEST_MAIN(WindowsTest)
#include "WindowsTest.moc"
