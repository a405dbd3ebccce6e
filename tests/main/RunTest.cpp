// A Create run as the desktop program shows it: Cancel (button, Esc, close box)
// keeps the earlier database and leaves no file of the run behind, the
// bar follows the whole run, the question before a database is replaced,
// the result line; and the arithmetic and texts behind bar and line.
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>

#include "DesktopFixture.h"
#include "main/Dlgfm2.h"
#include "main/DpnlEdit.h"
#include "main/FolderEdit.h"
#include "main/RunMeter.h"
#include "main/RunResult.h"
#include "platform/Ini.h"
#include "platform/System.h"
#include "support/NamesFile.h"
#include "support/ZipWriter.h"

using namespace toponyx;
using namespace toponyx::desktop;
using namespace toponyx::testing;

namespace {

const char kLookout[] = "Lookout,Summit,,-36 50 54.6,174 45 48\r\n";

std::string ManyPlaces(int count) {
  std::string text;
  text.reserve(static_cast<size_t>(count) * 34);
  char line[64];
  for (int i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line, "Place %07d,Summit,,-36.%04d,174.%04d\r\n", i, i % 9973,
                  i % 9967);
    text += line;
  }
  return text;
}

QStringList Entries(const std::string& folder) {
  QStringList names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names << Q(e.path().filename().string());
  }
  names.sort();
  return names;
}

void TickOnly(QListWidget* list, const QString& name) {
  for (int i = 0; i < list->count(); ++i) {
    list->item(i)->setCheckState(list->item(i)->text() == name ? Qt::Checked : Qt::Unchecked);
  }
}

// The folders of a run, with the save and staging folders in the settings.
struct RunSession {
  explicit RunSession(DesktopFolders& f) : save(f.dir.File("out")), staging(f.dir.File("staging")) {
    std::filesystem::create_directories(save);
    std::filesystem::create_directories(staging);
    s = std::make_unique<Session>(
        f, "Last Save Directory=" + save + "\r\nLast Temp Directory=" + staging + "\r\n");
  }
  TMainfm* main() const { return s->main(); }
  TDlgfm2* progress() const { return s->forms->Dlgfm2(); }

  std::string save, staging;
  std::unique_ptr<Session> s;
};

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { platform::SetDecimalSeparator('.'); }

  void CancelKeepsTheEarlierDatabase() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/home.tpx", kLookout);
    // Stored, so that the archive is quick to write and its member is a
    // file of the run's own while the run reads it.
    ZipItem member("many.tpx", ManyPlaces(600000));
    member.method = 0;
    WriteFileBytes(f.download + "/many.zip", BuildZip({member}));
    RunSession r(f);
    r.main()->DatabaseName()->setText("world");
    TickOnly(r.main()->FileList(), "home.tpx");
    r.main()->bCreateClick();
    QCOMPARE(r.main()->LastOutcome().places, uint64_t{1});
    const std::string names = ReadFileBytes(r.save + "/world.names");
    const std::string types = ReadFileBytes(r.save + "/world.types");

    for (const char* how : {"button", "Esc", "close box"}) {
      TickOnly(r.main()->FileList(), "many.zip");
      r.s->prompter.questions.clear();
      TDlgfm2* progress = r.progress();
      bool pressed = false;
      QString while_stopping;
      QTimer sampler;
      sampler.setInterval(0);
      connect(&sampler, &QTimer::timeout, [&] {
        // Once the run reads the member it expanded.
        if (pressed || !progress->isVisible() || !progress->StageLabel(2)->font().bold() ||
            progress->RunBar()->value() <= 30) {
          return;
        }
        pressed = true;
        QVERIFY(progress->CancelButton()->isEnabled());
        if (QString(how) == "button") {
          QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
        } else if (QString(how) == "Esc") {
          QTest::keyClick(progress, Qt::Key_Escape);
        } else {
          progress->close();
          QVERIFY(progress->isVisible());  // it closes when the run has ended
        }
        while_stopping = progress->RunText()->text();
      });
      sampler.start();
      r.main()->bCreateClick();
      sampler.stop();

      QVERIFY2(pressed, how);
      QCOMPARE(r.s->prompter.questions, QStringList{"Replace the existing database world.names?"});
      QCOMPARE(static_cast<int>(r.main()->LastOutcome().status),
               static_cast<int>(pipeline::BuildStatus::kCancelled));
      QCOMPARE(while_stopping, QString("Cancelling\u2026"));
      QVERIFY2(r.s->prompter.boxes.empty(), qPrintable(r.s->prompter.Texts().join("|")));
      QCOMPARE(r.main()->ResultText(), QString("Cancelled"));
      QVERIFY(!progress->isVisible());
      // The earlier database as it was, and nothing else of the run.
      QVERIFY(ReadFileBytes(r.save + "/world.names") == names);
      QVERIFY(ReadFileBytes(r.save + "/world.types") == types);
      QCOMPARE(Entries(r.save), (QStringList{"world.names", "world.types"}));
      QCOMPARE(Entries(r.staging), QStringList{});
      QCOMPARE(Entries(f.download), (QStringList{"home.tpx", "many.zip"}));
    }

    // Closing the main window during a run asks; "no" goes on, "yes"
    // cancels and the window closes once the run has cleaned up.
    TickOnly(r.main()->FileList(), "many.zip");
    r.s->prompter.questions.clear();
    r.s->prompter.answers = {true, false, true};  // replace; do not stop; stop
    TDlgfm2* progress = r.progress();
    int closes = 0;
    QTimer sampler;
    sampler.setInterval(0);
    connect(&sampler, &QTimer::timeout, [&] {
      if (closes == 2 || !progress->isVisible() || progress->RunBar()->value() <= 30) return;
      r.main()->close();
      QVERIFY(r.main()->isVisible());  // not while the run lasts
      ++closes;
    });
    r.main()->show();
    sampler.start();
    r.main()->bCreateClick();
    sampler.stop();
    const QString stop = "A database is being created. Stop it and quit?";
    QCOMPARE(r.s->prompter.questions,
             (QStringList{"Replace the existing database world.names?", stop, stop}));
    QCOMPARE(static_cast<int>(r.main()->LastOutcome().status),
             static_cast<int>(pipeline::BuildStatus::kCancelled));
    QTRY_VERIFY(!r.main()->isVisible());
    QVERIFY(ReadFileBytes(r.save + "/world.names") == names);
    QCOMPARE(Entries(r.staging), QStringList{});
  }

  void BarFollowsTheWholeRun() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/many.tpx", ManyPlaces(40000));
    RunSession r(f);
    r.main()->DatabaseName()->setText("many");
    TickOnly(r.main()->FileList(), "many.tpx");
    TDlgfm2* progress = r.progress();
    QList<int> values;
    QStringList texts;
    bool full_too_early = false;
    QTimer sampler;
    sampler.setInterval(0);
    connect(&sampler, &QTimer::timeout, [&] {
      if (!progress->isVisible()) return;
      const int value = progress->RunBar()->value();
      if (value == progress->RunBar()->maximum() && !progress->StageTick(4)->isVisibleTo(progress))
        full_too_early = true;
      if (values.isEmpty() || values.back() != value) values << value;
      texts << progress->RunText()->text();
    });
    sampler.start();
    r.main()->bCreateClick();
    sampler.stop();

    QCOMPARE(r.main()->LastOutcome().places, uint64_t{40000});
    QVERIFY(!full_too_early);
    QStringList shown;
    for (int v : values) shown << QString::number(v);
    QVERIFY2(std::is_sorted(values.begin(), values.end()), qPrintable(shown.join(",")));
    // Each stage's end is shown: the staging, the index, the copy, the end.
    for (int mark : {30, 530, 880, 1000}) {
      QVERIFY2(values.contains(mark), qPrintable(shown.join(",")));
    }
    QCOMPARE(values.back(), 1000);
    QVERIFY2(texts.contains("40,000 places"), qPrintable(texts.join("|")));
    QCOMPARE(progress->RunBar()->value(), 0);  // ready for the next run
  }

  // The table columns field names the columns of tables whose header the
  // program does not know; it is remembered in a section of its own.
  void TableColumnsField() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/orte.csv", "Nr;Ortsname;Breite;Laenge\n1;Bern;46,95;7,45\n");
    {
      RunSession r(f);
      r.main()->DatabaseName()->setText("orte");
      TickOnly(r.main()->FileList(), "orte.csv");
      auto* columns = r.main()->findChild<QLineEdit*>("eColumns");
      QVERIFY(columns != nullptr);
      QCOMPARE(columns->text(), QString());
      columns->setText("ortsname,breite");  // no longitude: said so, nothing run
      r.main()->bCreateClick();
      QCOMPARE(r.s->prompter.boxes.size(), size_t{1});
      QVERIFY(r.s->prompter.boxes[0].text.startsWith("Table columns are given as name, latitude"));
      QVERIFY(!QFileInfo::exists(Q(r.save + "/orte.names")));
      columns->setText(" Ortsname, Breite, LAENGE ");
      r.main()->bCreateClick();
      QCOMPARE(NamesOf(ReadNamesFile(r.save + "/orte.names")), std::vector<std::string>{"Bern"});
      r.main()->close();
    }
    const platform::IniFile ini(f.program + "/TOPONYX.INI");
    QCOMPARE(Q(ini.ReadString("Table Columns", "Columns", "none")),
             QString("Ortsname, Breite, LAENGE"));
    RecordingPrompter prompter;
    Forms again(f.Env(), prompter);
    QCOMPARE(again.Mainfm()->findChild<QLineEdit*>("eColumns")->text(),
             QString("Ortsname, Breite, LAENGE"));
  }

  void ReplaceQuestionAndResultLine() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/home.tpx", kLookout);
    RunSession r(f);
    const std::string earlier = "not really a table";
    WriteFileBytes(r.save + "/world.names", earlier);
    TickOnly(r.main()->FileList(), "home.tpx");

    // A refused request asks nothing.
    r.main()->DatabaseName()->setText("wor?ld");
    r.main()->bCreateClick();
    QCOMPARE(r.s->prompter.questions, QStringList{});
    QCOMPARE(r.s->prompter.boxes.size(), size_t{1});
    r.s->prompter.boxes.clear();

    // No: nothing happens.
    r.main()->DatabaseName()->setText(" world ");
    r.s->prompter.answers = {false};
    bool shown = false;
    QTimer sampler;
    sampler.setInterval(0);
    connect(&sampler, &QTimer::timeout, [&] { shown = shown || r.progress()->isVisible(); });
    sampler.start();
    r.main()->bCreateClick();
    QCOMPARE(r.s->prompter.questions, QStringList{"Replace the existing database world.names?"});
    QVERIFY(!shown);
    QVERIFY(r.s->prompter.boxes.empty());
    QVERIFY(ReadFileBytes(r.save + "/world.names") == earlier);
    QCOMPARE(Entries(r.save), QStringList{"world.names"});
    QCOMPARE(r.main()->ResultText(), QString());
    QVERIFY(!r.s->Button("bView")->isEnabled());

    // Yes: the run, and its result beside the database name.
    r.s->prompter.answers = {true};
    r.main()->bCreateClick();
    sampler.stop();
    QVERIFY(shown);
    QCOMPARE(r.s->prompter.questions.size(), 2);
    QVERIFY(ReadFileBytes(r.save + "/world.names") != earlier);
    const QString line = r.main()->ResultText();
    QVERIFY2(line.startsWith("1 place written to ") && line.contains("world.names in ") &&
                 line.endsWith(" s"),
             qPrintable(line));
    QVERIFY(r.main()->Control("ResultLine")->toolTip().contains(Q(r.save + "/world.names")));
    QVERIFY(r.s->prompter.boxes.empty());

    // A file that gives no place is named in the result, not in a box.
    WriteFileBytes(f.download + "/notes.csv", "just,some,columns\n");
    r.main()->TakeDroppedPaths({Q(f.download + "/notes.csv")});  // ticked beside home.tpx
    r.s->prompter.answers = {true};
    r.main()->bCreateClick();
    QVERIFY(r.s->prompter.boxes.empty());
    QVERIFY2(r.main()->ResultText().endsWith(
                 ", 1 warning: notes.csv: no name, latitude and longitude columns"),
             qPrintable(r.main()->ResultText()));

    // A failed run says so, and the error box follows.
    std::filesystem::remove(r.save + "/world.names");
    std::filesystem::create_directory(r.save + "/world.names");  // in the way of the rename
    r.main()->bCreateClick();
    QCOMPARE(r.s->prompter.boxes.size(), size_t{1});
    QCOMPARE(r.main()->ResultText(), "No database written: " + r.s->prompter.boxes[0].text);
  }

  // The result line has its group's width under the database name, beside
  // no other control; a deep folder's path is shortened, never broken inside
  // a name, and what does not fit in two lines ends in an ellipsis.
  void ResultLineAcrossItsGroup() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/home.tpx", kLookout);
    std::string notes = f.download + "/";
    for (int i = 0; i < 8; ++i) notes += "notes of a survey ";
    notes += ".csv";
    WriteFileBytes(notes, "just,some,columns\n");
    RunSession r(f);
    const std::string deep = r.save + "/" + std::string(50, 'f') + "/" + std::string(50, 'g');
    std::filesystem::create_directories(deep);
    qobject_cast<QLineEdit*>(r.main()->Control("deSaveFilesPath"))->setText(Q(deep));
    TickOnly(r.main()->FileList(), "home.tpx");
    r.main()->TakeDroppedPaths({Q(notes)});
    r.main()->DatabaseName()->setText("home");
    r.main()->bCreateClick();

    auto* line = qobject_cast<QLabel*>(r.main()->Control("ResultLine"));
    const QRect box = line->geometry();
    QVERIFY2(box.width() >= line->parentWidget()->width() - 30,
             qPrintable(QString::number(box.width())));
    for (QWidget* other :
         line->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (other != line && other->isVisible()) {
        QVERIFY2(!other->geometry().intersects(box), qPrintable(other->objectName()));
      }
    }
    const QString shown = line->text();
    QVERIFY2(r.s->prompter.boxes.empty() && r.s->prompter.questions.empty(),
             qPrintable((r.s->prompter.questions + r.s->prompter.Texts()).join(u'|')));
    QVERIFY2(shown.startsWith("1 place written to home.names in ") && shown.endsWith(QChar(0x2026)),
             qPrintable(shown));
    const QFontMetrics metrics(line->font());
    QVERIFY(box.height() >= 2 * metrics.lineSpacing());
    QVERIFY(FitsInto(shown, line->font(), box.width(), 2));
    for (const QString& word : shown.split(u' '))
      QVERIFY(metrics.horizontalAdvance(word) <= box.width());
    QVERIFY(line->toolTip().contains(Q(deep + "/home.names")));
    QVERIFY(line->toolTip().contains("no name, latitude and longitude columns"));
  }

  void MeterAndTexts() {
    RunMeter m;
    m.Start(100);
    m.StageStarted(Stage::kDecompressing);
    // A gzip file expanded while staging moves the bar within the staging share.
    m.Progress(RunPhase::kReading, 50, 100, 0);
    QCOMPARE(m.Share(), RunMeter::kStagedEnd / 2);
    m.StageFinished(Stage::kDecompressing);
    m.StageStarted(Stage::kCreatingTemporary);
    m.Progress(RunPhase::kReading, 0, 100, 0);  // the staged files read afresh: no step back
    QCOMPARE(m.Share(), RunMeter::kStagedEnd);
    m.Progress(RunPhase::kReading, 50, 100, 1234);
    QCOMPARE(m.Share(), (RunMeter::kStagedEnd + RunMeter::kReadEnd) / 2);
    QCOMPARE(m.Places(), uint64_t{1234});
    QCOMPARE(m.SecondsLeft(100.5), -1.0);  // too early to tell
    QCOMPARE(m.SecondsLeft(110), 10 * (1 - m.Share()) / m.Share());
    m.Progress(RunPhase::kIndexing, 1, 2, 2000);
    QCOMPARE(m.Share(), (RunMeter::kReadEnd + RunMeter::kIndexedEnd) / 2);
    m.Progress(RunPhase::kCopying, 0, 0, 2000);  // no total: no change
    m.StageFinished(Stage::kCreatingTemporary);
    QCOMPARE(m.Share(), RunMeter::kIndexedEnd);
    m.StageStarted(Stage::kGenerating);
    m.Progress(RunPhase::kCopying, 2000, 2000, 2000);
    m.StageFinished(Stage::kGenerating);
    m.StageStarted(Stage::kSaving);
    m.Progress(RunPhase::kCopying, 5000, 2000, 2000);  // more than all: not past the copy's end
    QCOMPARE(m.Share(), RunMeter::kCopiedEnd);
    m.StageFinished(Stage::kSaving);
    QCOMPARE(m.Share(), 1.0);
    QCOMPARE(m.SecondsLeft(120), 0.0);
    m.Start(200);
    QCOMPARE(m.Share(), 0.0);
    QCOMPARE(m.Places(), uint64_t{0});

    QCOMPARE(CountText(2500000), QString("2,500,000"));
    QCOMPARE(CountText(999), QString("999"));
    QCOMPARE(RunTimeText(0.044), QString("0.04 s"));
    QCOMPARE(RunTimeText(0.44), QString("0.4 s"));
    QCOMPARE(RunTimeText(38.2), QString("38 s"));
    QCOMPARE(RunTimeText(125), QString("2 min 5 s"));
    QCOMPARE(TimeLeftText(-1), QString());
    QCOMPARE(TimeLeftText(7), QString("a few seconds left"));
    QCOMPARE(TimeLeftText(23), QString("about 25 s left"));
    QCOMPARE(TimeLeftText(130), QString("about 3 min left"));

    // The line, with the warnings of an outcome that carries them.
    pipeline::BuildOutcome done;
    done.status = pipeline::BuildStatus::kSucceeded;
    done.places = 2500000;
    const RunResult r = DescribeRun(done, "/home/user/maps/world.names", "world.names", 38);
    QCOMPARE(r.line, QString("2,500,000 places written to world.names in 38 s"));
    QCOMPARE(r.details, QString("2,500,000 places written to /home/user/maps/world.names in 38 s"));
    done.warnings = {"notes.txt: layout not recognised", "empty.tpx: no usable lines"};
    const RunResult warned = DescribeRun(done, "/home/user/maps/world.names", "world.names", 38);
    QCOMPARE(static_cast<int>(warned.kind), static_cast<int>(RunResult::kWrittenWithWarnings));
    QCOMPARE(warned.line, QString("2,500,000 places written to world.names in 38 s, 2 warnings: "
                                  "notes.txt: layout not recognised"));
    QVERIFY(warned.details.endsWith(
        "in 38 s\n\nnotes.txt: layout not recognised\nempty.tpx: no usable lines"));
    QCOMPARE(
        ShorterPaths("/home/user/maps/world.names"),
        (QStringList{"/home/user/maps/world.names", "\u2026/maps/world.names", "world.names"}));
  }
};

QTEST_MAIN(RunTest)
#include "RunTest.moc"
