// The two small controls: the edit with its picture filter, Enter handling
// and label, and the folder label with its shortening rules.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "main/DirLabel.h"
#include "main/DpnlEdit.h"
#include "platform/System.h"

using toponyx::desktop::TDirLabel;
using toponyx::desktop::TdpnLEdit;

class ControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void PictureFilter_data() {
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::newRow("lat converts and keeps N S") << "lat"
                                                << "n 36.5s+-e"
                                                << "N 36.5S+-";
    QTest::newRow("lon keeps E W") << "lon"
                                   << "e174,5 w n"
                                   << "E1745 W ";
    QTest::newRow("numeric") << "numeric"
                             << "+-1.5 a"
                             << "+-1.5";
    QTest::newRow("integer") << "integer"
                             << "-12.5x"
                             << "-125";
    QTest::newRow("posint") << "posint"
                            << "-12.5"
                            << "125";
    QTest::newRow("posfloat") << "posfloat"
                              << "-1 2.5"
                              << "12.5";
    QTest::newRow("posfloatspace") << "posfloatspace"
                                   << "1 2.5-"
                                   << "1 2.5";
    QTest::newRow("uppercase") << "uppercase"
                               << "abc xyz"
                               << "ABC XYZ";
    QTest::newRow("other pictures pass all") << "lowercase"
                                             << "Mixed Case?"
                                             << "Mixed Case?";
    QTest::newRow("picture names are exact") << "LAT"
                                             << "abc"
                                             << "abc";
  }

  void PictureFilter() {
    QFETCH(QString, picture);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    toponyx::platform::SetDecimalSeparator('.');
    TdpnLEdit edit;
    edit.SetPicture(picture);
    edit.setMaxLength(40);
    edit.show();
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), result);
  }

  void DecimalSeparatorOfTheUser() {
    const QChar comma(u',');
    QCOMPARE(TdpnLEdit::Filter("numeric", u',', comma), comma);
    QVERIFY(TdpnLEdit::Filter("numeric", u'.', comma).isNull());
    QCOMPARE(TdpnLEdit::Filter("posint", QChar(8), comma), QChar(8));  // control characters pass
    QCOMPARE(TdpnLEdit::Filter("uppercase", QChar(0xE9), comma), QChar(0xE9));  // ASCII only
  }

  void LengthLimitAndEnter() {
    QWidget form;
    auto* edit = new TdpnLEdit(&form);
    QCOMPARE(edit->maxLength(), 10);
    QCOMPARE(edit->Picture(), QString("uppercase"));
    edit->setMaxLength(64);
    edit->SetPicture("lowercase");
    auto* button = new QPushButton("Create", &form);
    button->setDefault(true);
    auto* next = new QCheckBox("next", &form);
    QWidget::setTabOrder(edit, button);
    QWidget::setTabOrder(button, next);
    int pressed = 0;
    connect(button, &QPushButton::clicked, [&] { ++pressed; });
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form) || true);
    edit->setFocus();
    QTest::keyClicks(edit, QString(70, u'x'));
    QCOMPARE(edit->text().size(), 64);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(pressed, 0);                         // the default button is not pressed
    QCOMPARE(QApplication::focusWidget(), next);  // and is skipped
    // From the last field Enter goes on to the default button, not round
    // to the first field; the next Enter is the button's.
    auto* last = new TdpnLEdit(&form);
    last->show();
    QWidget::setTabOrder(next, last);
    last->setFocus();
    QTest::keyClick(last, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), button);
    QCOMPARE(pressed, 0);
  }

  void LabelPlacement() {
    QWidget form;
    form.resize(300, 200);
    auto* edit = new TdpnLEdit(&form);
    edit->SetLabelCaption("Database Name:");
    edit->setGeometry(100, 80, 120, 20);
    form.show();
    QLabel* label = edit->EditLabel();
    QCOMPARE(label->buddy(), edit);
    QCOMPARE(label->parentWidget(), &form);
    QVERIFY(label->isVisible());
    // Above: same left edge, bottom 6 pixels above the edit.
    QCOMPARE(label->x(), 100);
    QCOMPARE(label->geometry().bottom() + 1, 80 - 6);
    // Left: centred on the edit, ending 6 pixels before it.
    edit->SetLabelAlignment(TdpnLEdit::laLeft);
    QCOMPARE(label->geometry().right() + 1, 100 - 6);
    QCOMPARE(label->geometry().center().y(), edit->geometry().center().y());
    edit->move(150, 120);
    QCOMPARE(label->geometry().right() + 1, 150 - 6);

    edit->setMaxLength(9);
    edit->SetSetWidth(true);
    QCOMPARE(edit->width(), 10 * edit->fontMetrics().horizontalAdvance(u'X'));
  }

  void ShorteningRules_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("result");
    const QString p = "C:/Program Files/Some Folder/Downloads";  // 38 characters
    QTest::newRow("long enough") << p << 38 << p;
    QTest::newRow("below 19") << p << 18 << p;
    QTest::newRow("tail from a separator") << p << 30 << "C:/.../Some Folder/Downloads";
    QTest::newRow("last part only") << p << 19 << "C:/.../Downloads";
    QTest::newRow("long last part")
        << "/a/b/averyveryverylongfoldername" << 20 << "/a/.../averyveryverylongfoldername";
    QTest::newRow("no separator") << "abcdefghijklmnopqrstuvwxyz" << 20
                                  << "abc...abcdefghijklmnopqrstuvwxyz";
  }

  void ShorteningRules() {
    QFETCH(QString, path);
    QFETCH(int, length);
    QFETCH(QString, result);
    QCOMPARE(TDirLabel::ShortenedPath(path, length), result);
  }

  void ShorteningSteps() {
    const QString p = "C:/Program Files/Some Folder/Downloads";
    const QString one = TDirLabel::ShortenStep(p);
    QCOMPARE(one, QString("C:/.../Some Folder/Downloads"));
    QCOMPARE(TDirLabel::ShortenStep(one), QString("C:/.../Downloads"));
    QCOMPARE(TDirLabel::ShortenStep("C:/.../Downloads"), QString("C:/.../Downloads"));
    QCOMPARE(TDirLabel::ShortenStep("/short"), QString("/short"));
    // Forms longer than the path are never taken, so a narrow label with
    // such a path stops shortening instead of growing its caption.
    QCOMPARE(TDirLabel::ShortenedPath("/a/averyveryverylongfoldername", 20).size(), 34);
    QCOMPARE(TDirLabel::ShortenStep("/a/averyveryverylongfoldername"),
             QString("/a/averyveryverylongfoldername"));
    QCOMPARE(TDirLabel::ShortenStep("abcdefghijklmnopqrstuvwxyz"),
             QString("abcdefghijklmnopqrstuvwxyz"));
    TDirLabel label;
    label.SetDirName("/a/averyveryverylongfoldername");
    label.resize(10, 17);
    label.grab();
    QCOMPARE(label.Caption(), QString("/a/averyveryverylongfoldername"));
  }

  void LabelShortensWhenNarrow() {
    TDirLabel label;
    QCOMPARE(label.size(), QSize(65, 17));
    QVERIFY(!label.wordWrap());
    const QString p = "/home/someone/Program Files/Some Folder/Downloads";
    label.SetDirName(p);
    const int full = label.fontMetrics().horizontalAdvance(p);
    const int middle = label.fontMetrics().horizontalAdvance("/ho.../Some Folder/Downloads");
    label.resize(middle + 4, 20);
    label.show();
    label.grab();  // paints
    QCOMPARE(label.Caption(), QString("/ho.../Some Folder/Downloads"));
    QCOMPARE(label.DirName(), p);
    label.resize(20, 20);  // nothing fits: the shortest form stays
    label.grab();
    QCOMPARE(label.Caption(), QString("/ho.../Downloads"));
    label.resize(full + 10, 20);  // a resize brings the whole path back
    label.grab();
    QCOMPARE(label.Caption(), p);
  }
};

QTEST_MAIN(ControlsTest)
#include "ControlsTest.moc"
