#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>
#include <set>

#include "dbf/DbfTable.h"
#include "dbf/TableTestUtil.h"
#include "support/TempDir.h"
#include "view/DbfRecordModel.h"
#include "view/RecordingPrompter.h"
#include "view/Viewfm.h"

using namespace toponyx;
using desktop::DbfRecordModel;
using desktop::TDBNavigator;
using desktop::TViewfm;
using testing::RecordingPrompter;
using testing::TempDir;

namespace {

// A name table of n places "Place <i>" (1-based), with the given records
// flagged deleted; the table object names it.
void WriteTable(dbf::DbfTable& t, const std::string& folder, uint32_t n,
                const std::set<uint32_t>& deleted = {}) {
  t.SetFilePath(folder);
  t.SetTableName("places.names");
  testing::TableWriter w(t.FullPath());
  for (uint32_t i = 1; i <= n; ++i) {
    w.Add({"Place " + std::to_string(i), i == 1 ? "Caf\xE9" : "Summit",  // Windows-1252 text
           "", "-36.84850", "174.76333"},
          deleted.count(i) > 0);
  }
  w.Close();
}

QString Cell(const QAbstractItemModel& m, int row, int column) {
  return m.data(m.index(row, column)).toString();
}

// Lets queued model notifications arrive.
void Drain() {
  QCoreApplication::processEvents();
}

}  // namespace

class ViewTest : public QObject {
  Q_OBJECT

 private slots:
  void ModelMapsRowsAroundDeletedRecords() {
    TempDir dir;
    dbf::DbfTable t;
    const uint32_t n = 3 * DbfRecordModel::kBlockRecords + 17;
    const std::set<uint32_t> deleted = {1, 2, 4095, 4096, 4097, 9000, n};
    WriteTable(t, dir.path(), n, deleted);
    t.Open();
    DbfRecordModel model(t);
    model.Reload();
    // Before anything is read every record counts as a row.
    QCOMPARE(model.rowCount(), static_cast<int>(n));
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("NAME"));
    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QString("LONGITUDE"));

    // Rows asked in an order that jumps between blocks always show live
    // records; rows past blocks not read yet are placed by the guess that
    // those blocks hold no deleted record.
    for (int row : {9000, 0, 4093, 4094, 1, 12000}) {
      const uint32_t recno = model.RecNoForRow(row);
      QVERIFY(recno != 0);
      QVERIFY2(!deleted.count(recno), qPrintable(QString::number(recno)));
      QCOMPARE(Cell(model, row, 0), QString("Place %1").arg(recno));
    }
    // Once the blocks before a row are read, it shows what a full scan
    // would put there.
    std::vector<uint32_t> live;
    for (uint32_t r = 1; r <= n; ++r) {
      if (!deleted.count(r)) live.push_back(r);
    }
    for (size_t row = 0; row < live.size(); ++row) {
      QCOMPARE(model.RecNoForRow(static_cast<int>(row)), live[row]);
    }
    QCOMPARE(model.RecordsScanned(), uint64_t{n});
    Drain();
    QCOMPARE(model.rowCount(), static_cast<int>(live.size()));
    QCOMPARE(model.RecNoForRow(static_cast<int>(live.size())), 0u);
    QCOMPARE(Cell(model, 0, 1), QString("Summit"));
  }

  void ModelReadsLazilyAndDecodesText() {
    TempDir dir;
    dbf::DbfTable t;
    WriteTable(t, dir.path(), 50000);
    t.Open();
    DbfRecordModel model(t);
    model.Reload();
    QCOMPARE(model.rowCount(), 50000);
    QCOMPARE(model.RecordsScanned(), 0u);
    QCOMPARE(Cell(model, 0, 1), QString::fromUtf8("Caf\xC3\xA9"));
    QCOMPARE(Cell(model, 0, 3), QString("-36.84850"));
    QCOMPARE(Cell(model, 0, 2), QString());
    QCOMPARE(Cell(model, 49999, 0), QString("Place 50000"));
    // The first block and the last one were read, nothing between them.
    QCOMPARE(model.RecordsScanned(),
             uint64_t{DbfRecordModel::kBlockRecords + 50000 % DbfRecordModel::kBlockRecords});
  }

  void ModelDeletesRows() {
    TempDir dir;
    dbf::DbfTable t;
    WriteTable(t, dir.path(), 5);
    t.Open();
    DbfRecordModel model(t);
    model.Reload();
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.DeleteRow(1);  // record 2
    QCOMPARE(removed.count(), 1);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(Cell(model, 1, 0), QString("Place 3"));
    t.Close();
    // The flag is in the file.
    t.Open();
    QVERIFY(t.IsDeleted(2));
    QVERIFY(!t.IsDeleted(1));
    QVERIFY(!t.IsDeleted(3));
  }

  void WindowOnOneRecord() {
    TempDir dir;
    dbf::DbfTable t;
    WriteTable(t, dir.path(), 1);
    RecordingPrompter prompter;
    TViewfm view(t, prompter);
    QCOMPARE(view.windowTitle(), QString("View Database"));
    QCOMPARE(view.size(), QSize(741, 480));
    QCOMPARE(view.StatusText(), QString("Record No."));
    QVERIFY(view.OpenAndShow());
    QVERIFY(t.Active());
    QCOMPARE(view.Model().rowCount(), 1);
    QCOMPARE(view.StatusText(), QString("Record No. 1"));
    auto* grid = view.findChild<QTableView*>("Grid1");
    QVERIFY(grid != nullptr);
    QCOMPARE(grid->model()->headerData(2, Qt::Horizontal).toString(), QString("MAJOR_CODE"));
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!view.Navigator()->ButtonAt(TDBNavigator::nbNext)->isEnabled());
    QVERIFY(view.Navigator()->ButtonAt(TDBNavigator::nbDelete)->isEnabled());
    QCOMPARE(view.Navigator()->toolTip(), QString("Move around your database. Delete records."));

    // Closing closes the table; a second View starts again at the first record.
    QTest::mouseClick(view.findChild<QPushButton*>("bClose"), Qt::LeftButton);
    QVERIFY(!view.isVisible());
    QVERIFY(!t.Active());
    QVERIFY(view.OpenAndShow());
    QCOMPARE(view.StatusText(), QString("Record No. 1"));
    view.close();
    QVERIFY(prompter.boxes.empty());
  }

  void NavigatingAndDeleting() {
    TempDir dir;
    dbf::DbfTable t;
    WriteTable(t, dir.path(), 4, {2});  // rows: records 1, 3, 4
    RecordingPrompter prompter;
    TViewfm view(t, prompter);
    QVERIFY(view.OpenAndShow());
    Drain();
    QCOMPARE(view.Model().rowCount(), 3);
    view.NavigatorClick(TDBNavigator::nbLast);
    QCOMPARE(view.StatusText(), QString("Record No. 4"));
    view.NavigatorClick(TDBNavigator::nbPrior);
    QCOMPARE(view.StatusText(), QString("Record No. 3"));
    view.NavigatorClick(TDBNavigator::nbFirst);
    QCOMPARE(view.StatusText(), QString("Record No. 1"));
    view.NavigatorClick(TDBNavigator::nbNext);
    QCOMPARE(view.StatusText(), QString("Record No. 3"));

    // "No" keeps the record.
    prompter.answers = {false, true};
    view.NavigatorClick(TDBNavigator::nbDelete);
    QCOMPARE(prompter.questions, QStringList{"Delete record?"});
    QCOMPARE(view.Model().rowCount(), 3);
    const QString name = QString::fromStdString(t.TableName());
    QCOMPARE(view.FileText(), name + ": 3 records");  // the deleted record is not counted
    QCOMPARE(view.windowTitle(), "View Database - " + name);
    // "Yes" deletes it in the file; the next record becomes current, and
    // the count goes down with it.
    view.NavigatorClick(TDBNavigator::nbDelete);
    QCOMPARE(view.Model().rowCount(), 2);
    QCOMPARE(view.StatusText(), QString("Record No. 4"));
    QCOMPARE(view.FileText(), name + ": 2 records");
    view.close();
    QCOMPARE(view.windowTitle(), QString("View Database"));
    t.Open();
    QVERIFY(t.IsDeleted(3));
    QVERIFY(!t.IsDeleted(4));
    t.Close();
    QVERIFY(prompter.boxes.empty());
  }

  void MessageLineBreaksOnScreen() {
    using desktop::ScreenText;
    QCOMPARE(ScreenText("Please enter the Database Filename.\n\r\n\rFor example:\n\rUse it."),
             QString("Please enter the Database Filename.\n\nFor example:\nUse it."));
    QCOMPARE(ScreenText("A\r\n\r\nB\r\nC"), QString("A\n\nB\nC"));
    QCOMPARE(ScreenText("A\rB\nC\n\nD"), QString("A\nB\nC\n\nD"));
    QCOMPARE(ScreenText("\\ / : * ?"), QString("\\ / : * ?"));
  }

  void TableThatCannotBeOpened() {
    TempDir dir;
    dbf::DbfTable t;
    WriteTable(t, dir.path(), 2);
    std::remove(t.FullPath().c_str());
    RecordingPrompter prompter;
    TViewfm view(t, prompter);
    QVERIFY(!view.OpenAndShow());
    QVERIFY(!view.isVisible());
    QCOMPARE(prompter.boxes.size(), size_t{1});
    QCOMPARE(prompter.boxes[0].kind, MessageKind::kError);
    QCOMPARE(prompter.boxes[0].text, QString::fromStdString("Cannot open file " + t.FullPath()));
    // Nothing was created in the file's place.
    QVERIFY(!QFileInfo::exists(QString::fromStdString(t.FullPath())));

    // A damaged file: the table's own message.
    testing::WriteFileBytes(t.FullPath(), "not a table");
    QVERIFY(!view.OpenAndShow());
    QCOMPARE(prompter.boxes.size(), size_t{2});
    QVERIFY(prompter.boxes[1].text.startsWith("Cannot open file "));
  }
};

QTEST_MAIN(ViewTest)
#include "ViewTest.moc"
