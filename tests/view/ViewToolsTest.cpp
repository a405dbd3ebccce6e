// The View window's tools: "Open database…", the Find box, the map pane.
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <algorithm>
#include <set>

#include "dbf/DbfTable.h"
#include "dbf/NameSearch.h"
#include "dbf/TableTestUtil.h"
#include "support/TempDir.h"
#include "text/CodePage.h"
#include "view/MapPane.h"
#include "view/PlaceMap.h"
#include "view/RecordingPrompter.h"
#include "view/Viewfm.h"

using namespace toponyx;
using desktop::MapView;
using desktop::PlaceMap;
using desktop::TDBNavigator;
using desktop::TMapPane;
using desktop::TViewfm;
using testing::RecordingPrompter;
using testing::TempDir;

namespace {

struct Place {
  std::string name;  // Windows-1252
  std::string latitude = "-36.84850";
  std::string longitude = "174.76333";
};

// A place table at path with the records in this order and the given
// records (1-based) flagged deleted; the table object (closed) names it.
void WritePlaces(dbf::DbfTable& t, const std::string& path, const std::vector<Place>& places,
                 const std::set<uint32_t>& deleted = {}) {
  t.SetTableName(path);
  testing::TableWriter w(path);
  for (uint32_t i = 0; i < places.size(); ++i) {
    const Place& p = places[i];
    w.Add({p.name, "Populated Place", "", p.latitude, p.longitude}, deleted.count(i + 1) > 0);
  }
  w.Close();
}

QString CurrentName(TViewfm& view) {
  return view.Model().data(view.Model().index(view.CurrentRow(), 0)).toString();
}

// The stored form of a name: OEM bytes, ASCII small letters as capitals.
std::string Folded(const std::string& ansi) {
  std::string s = codepage::AnsiToOem(ansi);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

uint64_t Sum(const std::vector<uint32_t>& pixels) {
  uint64_t n = 0;
  for (uint32_t p : pixels) n += p;
  return n;
}

}  // namespace

class ViewToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void OpenDatabaseAndWindowKeys() {
    TempDir dir;
    dbf::DbfTable other;
    WritePlaces(other, dir.File("other.names"),
                {{"Alpha"}, {"Beta"}, {"Gamma"}, {"Delta"}, {"Epsilon"}});
    dbf::DbfTable t;
    WritePlaces(t, dir.File("places.names"), {{"One"}, {"Two"}, {"Three"}});
    RecordingPrompter prompter;
    TViewfm view(t, prompter);
    QVERIFY(view.OpenAndShow());
    QVERIFY(QTest::qWaitForWindowActive(&view));
    QCOMPARE(view.FileText(), QString("places.names: 3 records"));

    // One tooltip per navigator button, each its own.
    QSet<QString> tips;
    for (int b = 0; b < TDBNavigator::kButtonCount; ++b) {
      tips << view.Navigator()->ButtonAt(static_cast<TDBNavigator::Button>(b))->toolTip();
    }
    QCOMPARE(tips.size(), TDBNavigator::kButtonCount);
    QVERIFY(!tips.contains(QString()));

    // Ctrl+O: the dialog on *.names in the table's folder; the file chosen
    // there is shown from its first record.
    QStringList filters;
    QString start;
    connect(&view, &TViewfm::DialogOpened, this, [&](QFileDialog* d) {
      filters = d->nameFilters();
      start = d->directory().absolutePath();
      d->selectFile(QString::fromStdString(dir.File("other.names")));
      static_cast<QDialog*>(d)->accept();
    });
    view.NavigatorClick(TDBNavigator::nbLast);
    QTest::keyClick(&view, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(filters, QStringList{"Name databases (*.names)"});
    QCOMPARE(start, QDir(QString::fromStdString(dir.path())).absolutePath());
    QCOMPARE(QString::fromStdString(t.FullPath()), QString::fromStdString(dir.File("other.names")));
    QCOMPARE(view.Model().rowCount(), 5);
    QCOMPARE(view.StatusText(), QString("Record No. 1"));
    QCOMPARE(CurrentName(view), QString("Alpha"));
    QCOMPARE(view.FileText(), QString("other.names: 5 records"));

    // A file that is no table: its message, and the table shown before again.
    testing::WriteFileBytes(dir.File("broken.names"), "not a table");
    QVERIFY(!view.OpenFile(QString::fromStdString(dir.File("broken.names"))));
    QCOMPARE(prompter.boxes.size(), size_t{1});
    QVERIFY(prompter.boxes[0].text.startsWith(
        QString::fromStdString("Cannot open file " + dir.File("broken.names"))));
    QVERIFY(t.Active());
    QCOMPARE(view.FileText(), QString("other.names: 5 records"));
    QCOMPARE(view.Model().rowCount(), 5);

    // Escape closes the window and the table, also from the Find box.
    view.FindBox()->setFocus();
    QTest::keyClick(view.FindBox(), Qt::Key_Escape);
    QVERIFY(!view.isVisible());
    QVERIFY(!t.Active());
    QCOMPARE(view.FileText(), QString());

    // At 200 % a 1280 x 720 screen offers 640 x 360: the window fits it.
    const QRect small(0, 0, 640, 360);
    view.FitInto(small);
    QVERIFY(view.width() <= 640 && view.height() <= 360);
    QVERIFY(view.minimumSizeHint().width() <= 640 && view.minimumSizeHint().height() <= 360);
    QVERIFY(small.contains(view.frameGeometry()));

    // Before any run there is no table to open: the window opens empty.
    dbf::DbfTable none;
    TViewfm empty(none, prompter);
    QVERIFY(empty.OpenAndShow());
    QCOMPARE(empty.Model().rowCount(), 0);
    QCOMPARE(empty.StatusText(), QString("Record No."));
    QVERIFY(!empty.Find("A"));
    QCOMPARE(prompter.boxes.size(), size_t{1});
  }

  void FindGoesToTheFirstMatchInNameOrder() {
    // 200 000 generated names in the order of the name index, with names
    // that differ only in letter case and accented capitals among them.
    std::vector<Place> places;
    uint64_t seed = 12345;
    auto random = [&seed](size_t n) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      return static_cast<size_t>((seed >> 33) % n);
    };
    const char* const syllables[] = {"ba",  "Mar", "ko", "RIN", "tal", "Sen", "do",
                                     "vil", "la",  "Hu", "ne",  "qua", "mar", "Os"};
    for (int i = 0; i < 200000 - 6; ++i) {
      std::string name;
      for (size_t k = 0, n = 2 + random(3); k < n; ++k) name += syllables[random(14)];
      places.push_back({name});
    }
    for (const char* fixed : {"marsh", "MARSH", "Marsh Creek", "\xC5lesund", "\xE5sa", "Rcan"}) {
      places.push_back({fixed});
    }
    std::stable_sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
      return Folded(a.name) < Folded(b.name);  // blank-filled keys: shorter first
    });
    auto first_with = [&](const std::string& prefix, const std::set<uint32_t>& deleted) {
      const std::string key = Folded(prefix);
      for (uint32_t i = 0; i < places.size(); ++i) {
        if (!deleted.count(i + 1) && Folded(places[i].name).compare(0, key.size(), key) == 0) {
          return i + 1;
        }
      }
      return 0u;
    };
    // The first "MARSH" of the table is deleted: Find goes on to the next.
    // The only "Rcan" is deleted: Find finds none.
    const std::set<uint32_t> deleted = {first_with("marsh", {}), first_with("Rcan", {})};
    TempDir dir;
    dbf::DbfTable t;
    WritePlaces(t, dir.File("world.names"), places, deleted);
    RecordingPrompter prompter;
    TViewfm view(t, prompter);
    QVERIFY(view.OpenAndShow());

    struct Case {
      QString typed;
      std::string prefix;  // Windows-1252
      bool found;
    };
    const Case cases[] = {
        {"marsh", "marsh", true},   {"MARS", "mars", true},     {"mar", "MAR", true},
        {"\u00C5l", "\xC5l", true}, {"\u00E5S", "\xE5S", true}, {"bakoHU", "BAKOHU", true},
    };
    for (const Case& c : cases) {
      const uint64_t before = view.FindRecordsRead();
      QCOMPARE(view.Find(c.typed), c.found);
      QVERIFY2(view.FindRecordsRead() - before < 64,
               qPrintable(QString::number(view.FindRecordsRead() - before)));
      const uint32_t want = first_with(c.prefix, deleted);
      QVERIFY2(want != 0, qPrintable(c.typed));
      QCOMPARE(view.StatusText(), QString("Record No. %1").arg(want));
    }
    QVERIFY(!view.Find("Rcan"));
    // Accented small letters are not capitals of the accented capitals.
    QVERIFY(!view.Find("\u00E5l"));
    // Bytes above 127 come after the letters: "ZZZ" belongs before "åsa".
    QVERIFY(!view.Find("ZZZ"));
    QCOMPARE(view.StatusText(), QString("Record No. %1").arg(first_with("\xE5", deleted)));
    // Past the last name: the last row.
    QVERIFY(!view.Find("\u00C5m"));
    QCoreApplication::processEvents();  // the rows lost to the deleted record
    QCOMPARE(view.CurrentRow(), view.Model().rowCount() - 1);

    // A letter typed into the grid starts the Find box (not the item
    // view's own search, which would go on from the current row).
    const uint32_t first_m = first_with("m", deleted);
    view.Find("MarMar");
    QVERIFY(view.StatusText() != QString("Record No. %1").arg(first_m));
    auto* grid = view.findChild<QTableView*>("Grid1");
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_M, Qt::NoModifier);
    QCOMPARE(view.FindBox()->text(), QString("m"));
    QCOMPARE(view.StatusText(), QString("Record No. %1").arg(first_m));
    QTest::keyClicks(view.FindBox(), "ars");
    QCOMPARE(view.StatusText(), QString("Record No. %1").arg(first_with("mars", deleted)));
    view.close();

    // A table that is not in name order: the search ends somewhere.
    std::vector<Place> unsorted;
    for (int i = 0; i < 1000; ++i) unsorted.push_back({std::to_string((i * 7919) % 1000)});
    WritePlaces(t, dir.File("unsorted.names"), unsorted);
    QVERIFY(view.OpenAndShow());
    const uint64_t before = view.FindRecordsRead();
    view.Find("5");
    QVERIFY(view.FindRecordsRead() - before < 64);
    QVERIFY(view.CurrentRow() >= 0 && view.CurrentRow() < 1000);
    QVERIFY(prompter.boxes.empty());
  }

  void MapDrawsAndSelectsPlaces() {
    double d = 0;
    for (const char* good : {" 12.34568", "-151.20000", "12,34568", "+5", "0"}) {
      QVERIFY2(desktop::ParseDegrees(good, d), good);
    }
    QVERIFY(desktop::ParseDegrees("12,5", d) && d == 12.5);
    for (const char* bad : {"", "   ", "341523N", "1e5", "inf", "12.3.4", "-", "1 2"}) {
      QVERIFY2(!desktop::ParseDegrees(bad, d), bad);
    }

    TempDir dir;
    dbf::DbfTable t;
    WritePlaces(t, dir.File("map.names"),
                {{"Auckland", "-36.84850", "174.76333"},
                 {"Bern", "46,94809", "7,44744"},  // the decimal comma
                 {"Nowhere", "", ""},
                 {"Packed", "341523N", "1183015W"},
                 {"Quito", "-0.22985", "-78.52495"},  // deleted
                 {"Reykjavik", "64.13548", "-21.89541"},
                 {"Beyond", "95.0", "10.0"}},
                {5});
    RecordingPrompter prompter;
    TViewfm view(t, prompter);
    view.resize(741, 480);
    QVERIFY(view.OpenAndShow());
    TMapPane* map = view.MapPane();
    QTRY_VERIFY(map->Map() && map->Map()->HasPlaces());
    QCOMPARE(map->Map()->place_count, uint64_t{3});
    QCOMPARE(map->Note(), QString("3 places with a position"));

    // The first view shows every place, as large as the pane allows: a
    // pane tall enough has the world fill its width, and zooming out shows
    // the whole world; Home comes back.
    const auto every_place_shown = [map] {
      for (const auto& [lon, lat] : {std::pair{7.44744, 46.94809}, std::pair{-21.89541, 64.13548},
                                     std::pair{174.76333, -36.84850}}) {
        QVERIFY(map->rect().contains(map->PixelOf(lon, lat).toPoint()));
      }
    };
    every_place_shown();
    QVERIFY(map->View().ppd > 1.2 * map->height() / 180.0);  // more than the whole world
    const int short_height = map->height();
    view.resize(741, 800);
    QTRY_VERIFY2(map->height() > short_height + 100, qPrintable(QString::number(map->height())));
    const auto fills_width = [map] {
      QVERIFY2(map->width() > 2 * map->height(), "the pane is wider than the world");
      QVERIFY(map->View().X(-180) <= 0.5 && map->View().X(180) >= map->width() - 0.5);
    };
    fills_width();
    every_place_shown();
    map->ZoomAt(QPointF(map->width() / 2.0, map->height() / 2.0), 1e-3);
    QVERIFY(map->View().Y(90) >= -0.5 && map->View().Y(-90) <= map->height() + 0.5);
    // The world goes round: its copies fill the sides, and a place on a
    // copy is a place too.
    QVERIFY(map->View().ppd * 360 < map->width() - 100);
    QVERIFY(map->grab().toImage().pixel(3, map->height() / 2) != qRgb(0xD9, 0xDC, 0xE0));
    const QPointF auckland = map->PixelOf(174.76333, -36.84850) - QPointF(360 * map->View().ppd, 0);
    QVERIFY(map->rect().contains(auckland.toPoint()));
    QTest::mouseClick(map, Qt::LeftButton, {}, auckland.toPoint());
    QCOMPARE(view.StatusText(), QString("Record No. 1"));
    map->ShowWorld();
    fills_width();
    view.resize(741, 480);
    QTRY_COMPARE(map->height(), short_height);
    every_place_shown();

    // The world view holds the three places, a view of the North Atlantic
    // only Reykjavik.
    std::vector<uint32_t> pixels;
    MapView world{-180, 90, 2, 720, 360};
    map->Map()->Render(world, pixels);
    QCOMPARE(Sum(pixels), uint64_t{3});
    MapView atlantic{-30, 70, 40, 1200, 600};  // 30 W to 0, 70 N to 55 N
    QVERIFY(map->Map()->Render(atlantic, pixels));
    QCOMPARE(Sum(pixels), uint64_t{1});
    const int rx = static_cast<int>(atlantic.X(-21.89541)),
              ry = static_cast<int>(atlantic.Y(64.13548));
    QCOMPARE(pixels[static_cast<size_t>(ry) * 1200 + static_cast<size_t>(rx)], 1u);

    // A click on a place selects its row; one on the sea changes nothing.
    auto click = [&](double lon, double lat) {
      QTest::mouseClick(map, Qt::LeftButton, {}, map->PixelOf(lon, lat).toPoint());
    };
    click(7.44744, 46.94809);
    QCOMPARE(view.StatusText(), QString("Record No. 2"));
    click(-21.89541, 64.13548);
    QCOMPARE(view.StatusText(), QString("Record No. 6"));
    click(-140, -40);
    QCOMPARE(view.StatusText(), QString("Record No. 6"));

    // Zooming keeps the position under the pointer; dragging moves the map.
    const QPointF bern = map->PixelOf(7.44744, 46.94809);
    const double ppd = map->View().ppd;
    map->ZoomAt(bern, 64);
    QVERIFY((map->PixelOf(7.44744, 46.94809) - bern).manhattanLength() < 0.5);
    QCOMPARE(map->View().ppd, ppd * 64);
    const QPoint from = map->PixelOf(7.44744, 46.94809).toPoint();
    QTest::mousePress(map, Qt::LeftButton, {}, from);
    QTest::mouseMove(map, from + QPoint(-20, 10));
    QTest::mouseMove(map, from + QPoint(-40, 20));
    QTest::mouseRelease(map, Qt::LeftButton, {}, from + QPoint(-40, 20));
    QVERIFY((map->PixelOf(7.44744, 46.94809) - QPointF(from + QPoint(-40, 20))).manhattanLength() <
            2);
    QCOMPARE(view.StatusText(), QString("Record No. 6"));  // a drag is no click
    click(7.44744, 46.94809);
    QCOMPARE(view.StatusText(), QString("Record No. 2"));

    // A deleted place leaves the map.
    view.NavigatorClick(TDBNavigator::nbDelete);
    QCOMPARE(map->Map()->place_count, uint64_t{2});
    QCOMPARE(view.StatusText(), QString("Record No. 3"));
    click(7.44744, 46.94809);
    QCOMPARE(view.StatusText(), QString("Record No. 3"));
    view.close();
    QVERIFY(map->Map() == nullptr);
    QVERIFY(prompter.boxes.empty());
  }
};

QTEST_MAIN(ViewToolsTest)
#include "ViewToolsTest.moc"
