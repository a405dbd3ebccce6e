// The Options dialog: the choices of what goes in, remembered in
// TOPONYX.INI, shown in one line of the main window, and said in the
// result line of a Create run.
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <filesystem>
#include <functional>

#include "DesktopFixture.h"
#include "main/DpnlEdit.h"
#include "main/Optionsfm.h"
#include "platform/Ini.h"
#include "platform/System.h"
#include "support/NamesFile.h"
#include "view/MapPane.h"
#include "view/Viewfm.h"

using namespace toponyx;
using namespace toponyx::desktop;
using namespace toponyx::testing;

namespace {

// Three peaks and a village inside the Alps, a village outside, a river.
const char kAlps[] =
    "Piz,Peak,,46.5,9.8\nPiz,Peak,,46.5005,9.8\nDorf,Village,,46.6,9.9\n"
    "Bach,River,,46.7,9.7\nStadt,Village,,52.5,13.4\n";

// Runs `change` on the Options dialog once it is open, then presses OK.
void WhenOptionsOpen(const std::function<void(TOptionsfm&)>& change) {
  QTimer::singleShot(0, [change] {
    auto* dialog = qobject_cast<TOptionsfm*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    change(*dialog);
    dialog->findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Ok)->click();
    // Choices that are not whole keep the dialog open and say why.
    if (dialog->isVisible()) dialog->reject();
  });
}

template <typename T>
T* Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(name);
  if (child == nullptr) qFatal("no %s", name);
  return child;
}

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { platform::SetDecimalSeparator('.'); }

  void OptionsRoundTripAndCreateWithThem() {
    DesktopFolders f;
    WriteFileBytes(f.download + "/alps.tpx", kAlps);
    const std::string save = f.dir.File("out");
    std::filesystem::create_directories(save);
    pipeline::Choices expected;
    expected.area = pipeline::Area{45.8, 5.9, 47.9, 10.5};
    expected.types = std::vector<std::string>{"Peak", "Village"};
    expected.classes = "PT";
    expected.alternate_names = true;
    expected.languages = {"en", "de"};
    expected.merge_metres = 150;
    {
      Session s(f, "Last Save Directory=" + save + "\r\n");
      // A file without the section: no choice, no line.
      QCOMPARE(s.main()->Choices(), pipeline::Choices{});
      QCOMPARE(Child<QLabel>(*s.main(), "ChoicesLine")->text(), QString());
      s.main()->DatabaseName()->setText("alps");
      s.LB1()->item(0)->setCheckState(Qt::Checked);
      s.main()->bCreateClick();  // writes the types the dialog lists
      QCOMPARE(s.main()->LastOutcome().places, uint64_t{5});

      // South above north is refused, and nothing changes.
      WhenOptionsOpen([](TOptionsfm& d) {
        Child<QGroupBox>(d, "gbArea")->setChecked(true);
        Child<QDoubleSpinBox>(d, "sbSouth")->setValue(50);
        Child<QDoubleSpinBox>(d, "sbNorth")->setValue(40);
      });
      s.main()->bOptionsClick();
      QCOMPARE(s.main()->Choices(), pipeline::Choices{});

      // "From the map" takes the part of the map View shows.
      s.main()->bViewClick();
      TViewfm* view = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* v = qobject_cast<TViewfm*>(w); v && v->isVisible()) view = v;
      }
      QVERIFY(view != nullptr);
      TMapPane* map = view->MapPane();
      QTRY_VERIFY(map->Map() && map->Map()->HasPlaces());
      map->ZoomAt(map->PixelOf(9.8, 46.5), 40);
      const MapView shown = map->View();
      WhenOptionsOpen([](TOptionsfm& d) {
        Child<QGroupBox>(d, "gbArea")->setChecked(true);
        QVERIFY(Child<QPushButton>(d, "bMapArea")->isEnabled());
        Child<QPushButton>(d, "bMapArea")->click();
      });
      s.main()->bOptionsClick();
      const std::optional<pipeline::Area> area = s.main()->Choices().area;
      QVERIFY(area.has_value());
      QVERIFY(std::fabs(area->south - shown.Lat(shown.height)) < 1e-5 &&
              std::fabs(area->north - shown.north) < 1e-5 &&
              std::fabs(area->west - shown.west) < 1e-5 &&
              std::fabs(area->east - shown.Lon(shown.width)) < 1e-5);
      QVERIFY(area->south < 46.5 && 46.5 < area->north && area->west < 9.8 && 9.8 < area->east);
      // A view across the 180th meridian is an area whose west lies east of its east.
      map->PanBy(QPointF((map->View().Lon(map->width() / 2.0) - 180) * map->View().ppd, 0));
      WhenOptionsOpen([](TOptionsfm& d) { Child<QPushButton>(d, "bMapArea")->click(); });
      s.main()->bOptionsClick();
      const pipeline::Area across = *s.main()->Choices().area;
      QVERIFY2(across.west > 170 && across.east < -170,
               qPrintable(QString("%1 %2").arg(across.west).arg(across.east)));
      view->close();

      WhenOptionsOpen([](TOptionsfm& d) {
        Child<QGroupBox>(d, "gbArea")->setChecked(true);
        Child<QDoubleSpinBox>(d, "sbSouth")->setValue(45.8);
        Child<QDoubleSpinBox>(d, "sbWest")->setValue(5.9);
        Child<QDoubleSpinBox>(d, "sbNorth")->setValue(47.9);
        Child<QDoubleSpinBox>(d, "sbEast")->setValue(10.5);
        Child<QGroupBox>(d, "gbTypes")->setChecked(true);
        auto* types = Child<QListWidget>(d, "lbTypes");
        QCOMPARE(types->count(), 3);  // the codes of the last run
        types->findItems("River", Qt::MatchExactly).front()->setCheckState(Qt::Unchecked);
        Child<QGroupBox>(d, "gbClasses")->setChecked(true);
        Child<QCheckBox>(d, "cbClassT")->setChecked(true);
        Child<QCheckBox>(d, "cbClassP")->setChecked(true);
        Child<QGroupBox>(d, "gbAlternate")->setChecked(true);
        Child<QLineEdit>(d, "eLanguages")->setText(" en, de");
        Child<QGroupBox>(d, "gbMerge")->setChecked(true);
        Child<QSpinBox>(d, "sbMetres")->setValue(150);
      });
      s.main()->bOptionsClick();
      QCOMPARE(s.main()->Choices(), expected);
      const QString line = Child<QLabel>(*s.main(), "ChoicesLine")->text();
      QCOMPARE(line, "Options: " + QString::fromStdString(pipeline::ChoicesSummary(expected)));

      // Create with the choices: the line of the result says what each did.
      s.main()->bCreateClick();
      const pipeline::BuildOutcome& out = s.main()->LastOutcome();
      QCOMPARE(NamesOf(ReadNamesFile(save + "/alps.names")),
               (std::vector<std::string>{"Dorf", "Piz"}));
      QCOMPARE(out.reports,
               (std::vector<std::string>{"1 place outside the area left out",
                                         "1 place of other types left out",
                                         "0 places of other classes left out",
                                         "0 alternate names added", "1 duplicate merged"}));
      // The line names what changed the table; the tip names every choice.
      const QString result = s.main()->ResultText();
      for (const std::string& report : out.reports) {
        QCOMPARE(result.contains(QString::fromStdString(report)), report[0] != '0');
        QVERIFY(Child<QLabel>(*s.main(), "ResultLine")
                    ->toolTip()
                    .contains(QString::fromStdString(report)));
      }
      s.main()->close();
    }
    const platform::IniFile ini(f.program + "/TOPONYX.INI");
    QCOMPARE(Q(ini.ReadString("Choices", "Classes", "")), QString("PT"));
    RecordingPrompter prompter;
    Forms again(f.Env(), prompter);
    QCOMPARE(again.Mainfm()->Choices(), expected);
    QCOMPARE(Child<QLabel>(*again.Mainfm(), "ChoicesLine")->text(),
             "Options: " + QString::fromStdString(pipeline::ChoicesSummary(expected)));
  }
};

QTEST_MAIN(OptionsTest)
#include "OptionsTest.moc"
