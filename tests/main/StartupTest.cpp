// Start-up and close of the desktop program: support files, the mapping
// program folder, TOPONYX.INI with its defaults, normalisation and
// fallbacks, and the values written at close.
#include <unistd.h>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>
#include <filesystem>

#include <sys/stat.h>
#include "DesktopFixture.h"
#include "main/Application.h"
#include "main/DirLabel.h"
#include "main/Dlgfm.h"
#include "main/FileControls.h"
#include "main/FolderEdit.h"
#include "main/HelpWindow.h"
#include "main/Mainfm.h"
#include "pipeline/FileList.h"
#include "platform/Ini.h"
#include "platform/System.h"
#include "readers/Resources.h"

using namespace toponyx;
using namespace toponyx::desktop;
using namespace toponyx::testing;

namespace {

std::string Ini(const std::string& folder) {
  return ReadFileBytes(folder + "/TOPONYX.INI");
}

void WriteIni(const std::string& folder, const std::string& body) {
  WriteFileBytes(folder + "/TOPONYX.INI", "[Paths]\r\n" + body);
}

struct Shown {
  QString download, save, temp, www;
  int32_t filetype;
};

Shown Fields(const Forms& forms) {
  TMainfm* m = forms.Mainfm();
  return {m->DownloadFolder(), m->SaveFolder()->text(), m->TempFolder()->text(),
          m->findChild<QLineEdit*>("eHtml")->text(), m->DefaultFiletype()};
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void DefaultsWithoutAppPathsAndTheValuesWrittenAtClose() {
    DesktopFolders f;
    std::filesystem::create_directories(f.program + "/Toponyx");
    RecordingPrompter prompter;
    {
      Forms forms(f.Env(), prompter);
      QCOMPARE(Q(forms.Mainfm()->MappingFolder()), Q(f.program));
      const Shown s = Fields(forms);
      QCOMPARE(s.download, Q(f.program + "/Toponyx"));
      QCOMPARE(s.save, Q(f.program + "/Toponyx"));
      QCOMPARE(s.temp, Q(f.temp));  // without the separator the system gives
      QCOMPARE(s.www, QString("https://download.geonames.org/export/dump/"));
      QCOMPARE(s.filetype, 0);
      QCOMPARE(forms.Dlgfm()->FilterComboBox1()->currentIndex(), 0);
      // What the user changed is written to the Last keys; the others hold
      // the program's defaults.
      forms.Mainfm()->SaveFolder()->setText("/somewhere/else");
      forms.Mainfm()->findChild<QLineEdit*>("eHtml")->setText("http://example.org/x");
      QSignalSpy closed(forms.Mainfm(), &TMainfm::Closed);
      forms.Mainfm()->bExitClick();
      QCOMPARE(closed.count(), 1);
    }
    QCOMPARE(Q(Ini(f.program)), Q("[Paths]\r\n"
                                  "Start Directory=" +
                                  f.program +
                                  "\r\n"
                                  "Last Start Directory=" +
                                  f.program +
                                  "/Toponyx\r\n"
                                  "Save Directory=" +
                                  f.program +
                                  "/Toponyx\r\n"
                                  "Last Save Directory=/somewhere/else\r\n"
                                  "Temp Directory=" +
                                  f.temp +
                                  "/\r\n"
                                  "Last Temp Directory=" +
                                  f.temp +
                                  "\r\n"
                                  "WWW Location=http://example.org/x\r\n"
                                  "Default Filetype=0\r\n"));
    QVERIFY(prompter.boxes.empty());
    // A restart shows the folders as the first start did.
    {
      Forms again(f.Env(), prompter);
      QCOMPARE(Fields(again).temp, Q(f.temp));
    }

    // Without <program>/Toponyx the downloads default to the program folder;
    // the save folder is <program>/Toponyx all the same.
    DesktopFolders bare;
    Forms forms(bare.Env(), prompter);
    QCOMPARE(Fields(forms).download, Q(bare.program));
    QCOMPARE(Fields(forms).save, Q(bare.program + "/Toponyx"));
  }

  void MappingFolderFromAppPaths() {
    DesktopFolders f;
    const std::string carvis = f.InstallCarthovista();
    std::filesystem::create_directories(carvis + "/Toponyx");
    WriteIni(carvis, "Last Save Directory=" + f.download + "\r\n");
    RecordingPrompter prompter;
    {
      Forms forms(f.Env(), prompter);
      QCOMPARE(Q(forms.Mainfm()->MappingFolder()), Q(carvis));
      QCOMPARE(Fields(forms).save, Q(f.download));
      QCOMPARE(Fields(forms).download, Q(carvis + "/Toponyx"));
      forms.Mainfm()->close();
    }
    QVERIFY(Q(Ini(carvis)).contains(Q("Save Directory=" + carvis + "/Toponyx\r\n")));
    QVERIFY(!QFileInfo::exists(Q(f.program + "/TOPONYX.INI")));

    // The registered folder removed: as if there were no key.
    std::filesystem::remove_all(carvis);
    Forms forms(f.Env(), prompter);
    QCOMPARE(Q(forms.Mainfm()->MappingFolder()), Q(f.program));
    QCOMPARE(Fields(forms).save, Q(f.program + "/Toponyx"));
  }

  void InstalledCopyKeepsSettingsAndDatabasesWithTheUser() {
    // A program folder the user cannot write, with the installed samples.
    DesktopFolders f;
    std::filesystem::create_directories(f.program + "/Toponyx");
    StartupEnvironment env = f.Env();
    env.is_writable_folder = [](const std::string&) { return false; };
    RecordingPrompter prompter;
    {
      Forms forms(env, prompter);
      QCOMPARE(Fields(forms).download, Q(f.program + "/Toponyx"));
      QCOMPARE(Fields(forms).save, Q(f.home + "/Toponyx"));
      forms.Mainfm()->SetDownloadFolder(Q(f.download));
      forms.Mainfm()->close();
    }
    QVERIFY(prompter.boxes.empty());
    QVERIFY(!QFileInfo::exists(Q(f.program + "/TOPONYX.INI")));
    const platform::IniFile ini(f.config + "/TOPONYX.INI");
    QCOMPARE(Q(ini.ReadString("Paths", "Save Directory", "")), Q(f.home + "/Toponyx"));
    QCOMPARE(Q(ini.ReadString("Paths", "Start Directory", "")), Q(f.program));
    // The next start finds them again.
    Forms again(env, prompter);
    QCOMPARE(Fields(again).download, Q(f.download));
    QVERIFY(prompter.boxes.empty());
  }

  void RememberedFoldersAreNormalisedAndChecked() {
    DesktopFolders f;
    const std::string data = f.dir.File("data");
    const std::string start = f.dir.File("start");
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(start);
    WriteIni(f.program, "Start Directory=" + start + "\r\n" +
                            "Last Start Directory=" + f.dir.File("deleted") + "\r\n" +
                            "Save Directory=" + f.dir.File("nowhere") + "\r\n" +
                            "Last Save Directory=   " + data + "/   \r\n" +
                            "Temp Directory=" + data + "\r\n" + "Last Temp Directory=/\r\n");
    RecordingPrompter prompter;
    Forms forms(f.Env(), prompter);
    const Shown s = Fields(forms);
    // The remembered start folder wins, fails the existence test, and the
    // program folder is used (not "Start Directory").
    QCOMPARE(s.download, Q(f.program));
    QCOMPARE(s.save, Q(data));       // blanks and one trailing separator removed
    QCOMPARE(s.temp, QString("/"));  // a single separator is kept

    WriteIni(f.program, "Save Directory=" + f.dir.File("nowhere") + "\r\n" +
                            "Last Save Directory=  \r\n" + "Temp Directory=" + f.dir.File("gone") +
                            "\r\n");
    Forms again(f.Env(), prompter);
    QCOMPARE(Fields(again).save, Q(f.program + "/Toponyx"));  // not checked
    QCOMPARE(Fields(again).temp, Q(f.temp));
  }

  void DefaultFiletype_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("filetype");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("written");
    QTest::newRow("toponyx text") << "2" << 2 << 2 << "2";
    QTest::newRow("no such filter") << "7" << 7 << -1 << "-1";
    QTest::newRow("blanks and sign") << "  +1" << 1 << 1 << "1";
    QTest::newRow("negative") << "-1" << -1 << -1 << "-1";
    QTest::newRow("not a number") << "2x" << 0 << 0 << "0";
    QTest::newRow("too large") << "99999999999" << 0 << 0 << "0";
  }

  void DefaultFiletype() {
    QFETCH(QString, stored);
    QFETCH(int, filetype);
    QFETCH(int, filter);
    QFETCH(QString, written);
    DesktopFolders f;
    WriteIni(f.program, "Default Filetype=" + stored.toStdString() + "\r\n");
    WriteFileBytes(f.program + "/a.tpx", "x");
    WriteFileBytes(f.program + "/b.wpt", "x");
    RecordingPrompter prompter;
    {
      Forms forms(f.Env(), prompter);
      QCOMPARE(forms.Mainfm()->DefaultFiletype(), filetype);
      QCOMPARE(forms.Dlgfm()->FilterComboBox1()->currentIndex(), filter);
      // Selecting the entry at creation leaves the file list's mask alone:
      // every format the program reads.
      QCOMPARE(forms.Dlgfm()->FLB1()->Mask(), QString::fromStdString(pipeline::InputFilesMask()));
      forms.Mainfm()->close();
    }
    const platform::IniFile ini(f.program + "/TOPONYX.INI");
    QCOMPARE(Q(ini.ReadString("Paths", "Default Filetype", "none")), written);
  }

  void SupportFilesAreWrittenAtEveryStart() {
    DesktopFolders f;
    const std::string usa = f.program + "/USACodes.list";
    WriteFileBytes(usa, "left from an earlier run");
    ::chmod(usa.c_str(), 0444);
    const QByteArray help = EmbeddedHelpFile();
    QVERIFY(help.size() > 1000);
    QVERIFY(help.startsWith("SQLite format 3"));  // a Qt help file
    RecordingPrompter prompter;
    Forms forms(f.Env(), prompter);
    QVERIFY(prompter.boxes.empty());
    QCOMPARE(ReadFileBytes(usa), std::string(resources::EmbeddedFile("USACodes.list")));
    QCOMPARE(ReadFileBytes(f.program + "/WorldCodes.list"),
             std::string(resources::EmbeddedFile("WorldCodes.list")));
    QCOMPARE(QByteArray::fromStdString(ReadFileBytes(f.program + "/toponyx.chm")), help);
    // Clearing read-only only matters where the first write failed, which
    // root's writes never do.
    struct stat st {};
    QCOMPARE(::stat(usa.c_str(), &st), 0);
    if (::geteuid() != 0) QVERIFY((st.st_mode & S_IWUSR) != 0);
  }

  void SupportFileThatCannotBeWritten() {
    DesktopFolders f;
    std::filesystem::create_directories(f.program + "/WorldCodes.list");  // a folder in its way
    WriteIni(f.program, "WWW Location=http://kept\r\n");
    RecordingPrompter prompter;
    Forms forms(f.Env(), prompter);
    QCOMPARE(prompter.boxes.size(), size_t{1});
    QCOMPARE(prompter.boxes[0].kind, MessageKind::kError);
    QCOMPARE(prompter.boxes[0].text, Q(f.program + "/WorldCodes.list: Is a directory"));
    // Start-up goes on: the files after it and the settings.
    QVERIFY(QFileInfo::exists(Q(f.program + "/toponyx.chm")));
    QCOMPARE(Fields(forms).www, QString("http://kept"));
  }

  void SettingsThatCannotBeWritten() {
    DesktopFolders f;
    std::filesystem::create_directories(f.program + "/TOPONYX.INI");
    RecordingPrompter prompter;
    Forms forms(f.Env(), prompter);
    QVERIFY(prompter.boxes.empty());  // unreadable settings: the defaults, in silence
    QCOMPARE(Fields(forms).save, Q(f.program + "/Toponyx"));
    QSignalSpy closed(forms.Mainfm(), &TMainfm::Closed);
    forms.Mainfm()->close();
    QCOMPARE(prompter.Texts(), QStringList{Q("Unable to write to " + f.program + "/TOPONYX.INI")});
    QCOMPARE(closed.count(), 1);  // the program ends all the same
  }

  // A stop signal ends the program as a close does (settings written); the
  // help's working folders of instances that no longer run are swept at
  // the next start, those of running ones stay.
  void StopSignalsAndWhatKilledInstancesLeft() {
    DesktopFolders f;
    RecordingPrompter prompter;
    {
      Forms forms(f.Env(), prompter);
      QSignalSpy closed(forms.Mainfm(), &TMainfm::Closed);
      forms.Mainfm()->SaveFolder()->setText("/from/the/signal");
      forms.Mainfm()->StopAndQuit();
      QCOMPARE(closed.count(), 1);
    }
    QVERIFY(Ini(f.program).find("Last Save Directory=/from/the/signal") != std::string::npos);

    const QDir temp(QDir::tempPath());
    const QString gone = "toponyx-creator-help-2147483000-aB3dEf";  // past any pid_max
    const QString alive =
        QString("toponyx-creator-help-%1-xY9zQw").arg(platform::CurrentProcessId());
    for (const QString& name : {gone, alive}) {
      QVERIFY(temp.mkpath(name));
      WriteFileBytes((temp.filePath(name) + "/help.qhc").toStdString(), "x");
    }
    QVERIFY(HelpWindow::RemoveAbandonedFolders() >= 1);
    QVERIFY(!temp.exists(gone));
    QVERIFY(temp.exists(alive));
    QVERIFY(QDir(temp.filePath(alive)).removeRecursively());
  }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
