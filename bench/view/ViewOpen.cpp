// How fast the View window opens, scrolls, finds and maps a big name database.
//   bench_view_open <folder> [places]
// Writes <folder>/view-<places>.names (13 000 000 places by default, about
// 1.9 GB) unless it is already there, then opens it in the View window on
// the offscreen platform and prints:
//  - the time to the first rows painted, to a jump to the middle and to the
//    end, and how many records were read to find deleted ones;
//  - when the map pane first paints places after the open, when its density
//    and its places are complete, and how long the grid takes to repaint a
//    scroll step meanwhile;
//  - the time of the Find box to the first match painted, and the records
//    it read;
//  - the map pane's repaint after zooming and panning, at the window's size
//    and at 1600 x 1000.
// The names are in name order (as a run writes them); the places lie in
// clusters of different sizes, like land, and one in a hundred has no
// position.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "../common/Random.h"
#include "dbf/DbfFile.h"
#include "dbf/DbfTable.h"
#include "dbf/FieldText.h"
#include "view/MapPane.h"
#include "view/Viewfm.h"

using namespace toponyx;
using desktop::TMapPane;
using desktop::TViewfm;

namespace {

// Names that grow with i: five syllables of three letters, chosen by the
// digits of i in base 32 spread over the 32^5 combinations, so that the file
// is in name order without sorting.
const char* const kSyllables[32] = {"bal", "ban", "bor", "cal", "dun", "fer", "gal", "hal",
                                    "kar", "ken", "lin", "lor", "mar", "mel", "mor", "nor",
                                    "ost", "pal", "por", "ran", "ril", "san", "sel", "tal",
                                    "ter", "tor", "val", "ven", "vil", "wen", "yar", "zel"};

void NameOf(uint64_t i, uint64_t n, char* out) {
  uint64_t x = i * (uint64_t{1} << 25) / n;
  int digit[5];
  for (int k = 4; k >= 0; --k) {
    digit[k] = static_cast<int>(x & 31);
    x >>= 5;
  }
  char* p = out;
  for (int k = 0; k < 5; ++k) {
    if (k == 3) *p++ = ' ';
    const char* s = kSyllables[digit[k]];
    *p++ = (k == 0 || k == 3) ? static_cast<char>(s[0] - 'a' + 'A') : s[0];
    *p++ = s[1];
    *p++ = s[2];
  }
  *p = 0;
}

struct Cluster {
  double lon, lat, spread;
};

// The table the View window opens, written as the program writes its
// databases: the fields stored by StoreFieldText, the records appended in
// blocks.
void Generate(const std::string& path, uint32_t n) {
  std::vector<dbf::FieldDef> fields;
  for (auto [name, length] :
       {std::pair{"NAME", 45}, std::pair{"FULL_CODE", 40}, std::pair{"MAJOR_CODE", 40},
        std::pair{"LATITUDE", 10}, std::pair{"LONGITUDE", 10}}) {
    fields.push_back({name, 'C', length});
  }
  auto& fs = platform::DefaultFileSystem();
  dbf::DbfFile::Create(fs, path, fields);
  dbf::DbfFile table(fs);
  table.Open(path, platform::OpenMode::kReadWrite, nullptr);
  bench::Random random(20260101);
  std::vector<Cluster> clusters(600);
  for (Cluster& c : clusters) {
    c.lon = -170 + 340 * random.Uniform();
    c.lat = -50 + 120 * random.Uniform();
    c.spread = 0.2 + 8 * random.Uniform() * random.Uniform();
  }
  const size_t length = table.RecordLength();
  std::vector<char> block;
  auto set = [&](size_t record, size_t field, const char* text) {
    dbf::StoreFieldText(text, block.data() + record + static_cast<size_t>(fields[field].offset),
                        static_cast<size_t>(fields[field].length));
  };
  char name[32], lat[32], lon[32];
  for (uint32_t i = 0; i < n; ++i) {
    const size_t record = block.size();
    block.resize(record + length, ' ');
    NameOf(i, n, name);
    set(record, 0, name);
    set(record, 1, "Populated Place");
    if (random.Pick(100) != 0) {
      // Near a cluster, the bigger ones more often.
      const Cluster& c = clusters[std::min(random.Pick(600), random.Pick(600))];
      const double r = c.spread * std::sqrt(-2 * std::log(1 - random.Uniform()));
      const double a = 2 * std::numbers::pi * random.Uniform();
      std::snprintf(lat, sizeof lat, "%.5f", std::clamp(c.lat + r * std::sin(a), -90.0, 90.0));
      std::snprintf(lon, sizeof lon, "%.5f", std::clamp(c.lon + r * std::cos(a), -180.0, 180.0));
      set(record, 3, lat);
      set(record, 4, lon);
    }
    if (block.size() >= (size_t{4} << 20) || i + 1 == n) {
      table.AppendRecords(block.data(), static_cast<uint32_t>(block.size() / length));
      block.clear();
    }
  }
  table.Close();
}

class PrintingPrompter final : public desktop::Prompter {
 public:
  void Message(QWidget*, MessageKind, const QString& text, const QString&,
               MessageButtons) override {
    std::printf("message: %s\n", qPrintable(text));
  }
  bool Confirm(QWidget*, const QString&, const QString&) override { return false; }
};

double Ms(const QElapsedTimer& timer) {
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Paints a widget now and returns the milliseconds it took.
double Repaint(QWidget* w) {
  QElapsedTimer timer;
  timer.start();
  w->repaint();
  return Ms(timer);
}

struct Stats {
  std::vector<double> values;
  void Add(double v) { values.push_back(v); }
  double Median() {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
  }
  double Max() const {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
  }
};

// Zooms in steps of 2 from the whole world into the densest place of the
// map, then pans at a few zoom levels; prints the repaints.
void ZoomAndPan(TMapPane* map, const char* label) {
  map->ShowWorld();
  Repaint(map);
  const desktop::PlaceMap& m = *map->Map();
  const size_t densest =
      static_cast<size_t>(std::max_element(m.counts.begin(), m.counts.end()) - m.counts.begin());
  const double lon = -180 + (static_cast<double>(densest % desktop::PlaceMap::kColumns) + 0.5) *
                                desktop::PlaceMap::kCellDegrees;
  const double lat = 90 - (static_cast<double>(densest / desktop::PlaceMap::kColumns) + 0.5) *
                              desktop::PlaceMap::kCellDegrees;
  std::printf("map %s (%dx%d):\n", label, map->width(), map->height());
  std::vector<uint32_t> pixels;
  for (int level = 0; level <= 14; level += 2) {
    Stats zoom, pan;
    for (int i = 0; i < 3; ++i) {
      map->ShowWorld();
      map->ZoomAt(map->PixelOf(lon, lat), std::pow(2.0, level));
      zoom.Add(Repaint(map));
    }
    for (int i = 0; i < 10; ++i) {
      map->PanBy(QPointF(i % 2 ? -37 : 37, i % 3 ? 21 : -21));
      pan.Add(Repaint(map));
    }
    const bool by_place = m.Render(map->View(), pixels);
    uint64_t shown = 0;
    for (uint32_t p : pixels) shown += p;
    std::printf(
        "  zoom x%-5d repaint after zoom %.1f ms, after pan median %.1f max %.1f ms "
        "(%llu places drawn, %s)\n",
        1 << level, zoom.Median(), pan.Median(), pan.Max(), static_cast<unsigned long long>(shown),
        by_place ? "place by place" : "from the counts per cell");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_view_open <folder> [places]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const uint32_t n =
      argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 13000000u;

  dbf::DbfTable table;
  table.SetFilePath(argv[1]);
  table.SetTableName("view-" + std::to_string(n) + ".names");
  bool ready = false;
  try {
    if (QFileInfo::exists(QString::fromStdString(table.FullPath()))) {
      table.Open();
      ready = table.RecordCount() == n;
      table.Close();
    }
  } catch (const std::exception&) {
  }
  if (!ready) {
    QElapsedTimer gen;
    gen.start();
    Generate(table.FullPath(), n);
    std::printf("wrote %u places in %.1f s\n", n, gen.elapsed() / 1000.0);
  }

  // The operating system's file cache may hold the file from the writing;
  // the figures are for a warm cache.
  PrintingPrompter prompter;
  TViewfm view(table, prompter);
  view.resize(741, 480);
  auto* grid = view.findChild<QTableView*>("Grid1");
  TMapPane* map = view.MapPane();
  QElapsedTimer timer;
  timer.start();
  view.OpenAndShow();
  grid->viewport()->repaint();
  QCoreApplication::processEvents();
  std::printf("open and first rows painted: %.1f ms (%d rows, %llu records read)\n", Ms(timer),
              view.Model().rowCount(),
              static_cast<unsigned long long>(view.Model().RecordsScanned()));

  // The map is built meanwhile; the grid scrolls on.
  double first_paint = 0, density = 0, places = 0;
  Stats scroll;
  while (places == 0) {
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->value() + 20);
    scroll.Add(Repaint(grid->viewport()));
    QCoreApplication::processEvents();
    const desktop::PlaceMap* m = map->Map();
    if (!m) continue;
    if (!m->error.empty()) {
      std::printf("map: %s\n", m->error.c_str());
      return 1;
    }
    if (first_paint == 0 && m->place_count > 0) {
      map->repaint();
      first_paint = Ms(timer);
    }
    if (density == 0 && m->done * 2 >= m->total) density = Ms(timer);
    if (m->HasPlaces()) places = Ms(timer);
  }
  std::printf(
      "map pane: first places painted %.0f ms after the open, density complete %.0f ms, "
      "places complete %.0f ms (%llu places)\n",
      first_paint, density, places, static_cast<unsigned long long>(map->Map()->place_count));
  std::printf("grid meanwhile: %zu scroll steps repainted, median %.1f ms, max %.1f ms\n",
              scroll.values.size(), scroll.Median(), scroll.Max());

  timer.restart();
  grid->scrollTo(view.Model().index(view.Model().rowCount() / 2, 0));
  grid->viewport()->repaint();
  QCoreApplication::processEvents();
  std::printf("jump to the middle: %.1f ms (first row shown: %s)\n", Ms(timer),
              qPrintable(view.Model().data(grid->indexAt(QPoint(1, 1))).toString()));
  timer.restart();
  grid->scrollToBottom();
  grid->viewport()->repaint();
  QCoreApplication::processEvents();
  std::printf("jump to the end: %.1f ms; records read in all: %llu of %u\n", Ms(timer),
              static_cast<unsigned long long>(view.Model().RecordsScanned()), n);
  timer.restart();
  for (int i = 0; i < 200; ++i) {
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->value() - 20);
    grid->viewport()->repaint();
    QCoreApplication::processEvents();
  }
  std::printf("200 scroll steps upwards: %.1f ms\n", Ms(timer));

  // Find: prefixes of names spread over the table, typed as the user
  // types them (lower case), each to the first match painted.
  bench::Random random(7);
  Stats find;
  uint64_t most_read = 0;
  char name[32];
  for (int i = 0; i < 100; ++i) {
    NameOf(random.Pick(n), n, name);
    const QString typed =
        QString::fromLatin1(name, 3 + static_cast<int>(random.Pick(10))).toLower();
    const uint64_t before = view.FindRecordsRead();
    timer.restart();
    const bool found = view.Find(typed);
    grid->viewport()->repaint();
    map->repaint();
    find.Add(Ms(timer));
    most_read = std::max(most_read, view.FindRecordsRead() - before);
    if (!found) std::printf("find %s: not found\n", qPrintable(typed));
  }
  std::printf(
      "find (100 prefixes, to the grid and the map painted): median %.2f ms, max %.2f ms, "
      "at most %llu records read\n",
      find.Median(), find.Max(), static_cast<unsigned long long>(most_read));

  ZoomAndPan(map, "at the window's size");
  view.resize(1600, 1000);
  QCoreApplication::processEvents();
  ZoomAndPan(map, "at 1600 x 1000");
  view.close();
  return 0;
}
