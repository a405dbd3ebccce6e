// How fast the View window's grid opens and scrolls a big name database.
//   bench_view_open <folder> [places]
// Writes <folder>/big.names with that many places (10 000 000 by default,
// about 1.5 GB) unless it is already there with that count, then opens it
// in a grid on the offscreen platform and prints the time to the first rows
// painted, to a jump to the middle and to the end, and how many records
// were read to find deleted ones.
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dbf/DbfTable.h"
#include "view/DbfRecordModel.h"

using toponyx::desktop::DbfRecordModel;

namespace {

void Generate(toponyx::dbf::DbfTable& t, uint32_t n) {
  t.ClearFields();
  t.AddField("NAME", 'C', 45);
  t.AddField("FULL_CODE", 'C', 40);
  t.AddField("MAJOR_CODE", 'C', 40);
  t.AddField("LATITUDE", 'C', 10);
  t.AddField("LONGITUDE", 'C', 10);
  t.CreateTable();
  t.Open();
  char name[32];
  for (uint32_t i = 1; i <= n; ++i) {
    t.Append();
    std::snprintf(name, sizeof name, "Place %09u", i);
    t.SetField(0, name);
    t.SetField(1, "Populated Place");
    t.SetField(2, "City or Town");
    t.SetField(3, "-36.84850");
    t.SetField(4, "174.76333");
    t.Post();
  }
  t.Close();
}

// Paints the view and returns the milliseconds it took since the timer started.
double Paint(QTableView& view, QElapsedTimer& timer) {
  view.viewport()->repaint();
  QCoreApplication::processEvents();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
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
      argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 10000000u;

  toponyx::dbf::DbfTable table;
  table.SetFilePath(argv[1]);
  table.SetTableName("big.names");
  bool ready = false;
  try {
    table.Open();
    ready = table.RecordCount() == n;
    table.Close();
  } catch (const std::exception&) {
  }
  if (!ready) {
    QElapsedTimer gen;
    gen.start();
    Generate(table, n);
    std::printf("wrote %u places in %.1f s\n", n, gen.elapsed() / 1000.0);
  }

  // The operating system's file cache may hold the file from the writing;
  // the figures are for a warm cache.
  QElapsedTimer timer;
  timer.start();
  table.Open();
  DbfRecordModel model(table);
  model.Reload();
  QTableView view;
  view.resize(741, 420);
  view.setModel(&model);
  view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view.show();
  const double first = Paint(view, timer);
  std::printf("open and first rows painted: %.1f ms (%d rows, %llu records read)\n", first,
              model.rowCount(), static_cast<unsigned long long>(model.RecordsScanned()));

  timer.restart();
  view.scrollTo(model.index(model.rowCount() / 2, 0));
  const double middle = Paint(view, timer);
  std::printf("jump to the middle: %.1f ms (first row shown: %s)\n", middle,
              qPrintable(model.data(view.indexAt(QPoint(1, 1))).toString()));

  timer.restart();
  view.scrollToBottom();
  const double last = Paint(view, timer);
  std::printf("jump to the end: %.1f ms; records read in all: %llu of %u\n", last,
              static_cast<unsigned long long>(model.RecordsScanned()), n);

  timer.restart();
  for (int i = 0; i < 200; ++i) {
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() - 20);
    Paint(view, timer);
  }
  std::printf("200 scroll steps upwards: %.1f ms\n", timer.nsecsElapsed() / 1e6);
  return 0;
}
