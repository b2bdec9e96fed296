// The names a screen reader announces, read through Qt's accessibility interface.
#include <QAccessible>
#include <QPushButton>
#include <QtTest>

#include "tests/window/window_harness.h"

namespace {

QString AccessibleName(QWidget* w) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
  return face != nullptr ? face->text(QAccessible::Name) : QStringLiteral("<none>");
}

}  // namespace

class AccessibleNamesTest : public QObject {
  Q_OBJECT

 private slots:
  void controls_data();
  void controls();
  void checkBox1FollowsButton1();
  void logRowsAreNamedByTheirText();
};

void AccessibleNamesTest::controls_data() {
  QTest::addColumn<QString>("name");
  const std::pair<const char*, const char*> rows[] = {
      {"btnStart", "Start"},
      {"btnCancel", "Cancel"},
      {"btnExit", "Exit"},
      {"Button1", "Read FLASH"},
      {"CheckBox1", "Read FLASH"},
      {"CheckBox2", "Erase FLASH"},
      {"CheckBox3", "Write FLASH"},
      {"RadioButton1", "Auto"},
      {"RadioButton2", "Manual"},
      {"ProgressBar1", "Progress"},
      {"MD5_result", "Last read MD5"},
      {"SHA1_result", "Last read SHA-1"},
      {"CRC_result", "Last read CRC AGI"},
      {"MD5_check", "MD5"},
      {"SHA1_check", "SHA-1"},
      {"CRC_check", "AGI CRC"},
  };
  for (const auto& [control, name] : rows) QTest::newRow(control) << QString::fromLatin1(name);
}

void AccessibleNamesTest::controls() {
  QFETCH(QString, name);
  WindowHarness h;
  h.StartUp();
  QWidget* w = h.Find<QWidget>(QTest::currentDataTag());
  QVERIFY(w != nullptr);
  QCOMPARE(AccessibleName(w), name);
}

void AccessibleNamesTest::checkBox1FollowsButton1() {
  WindowHarness h;
  h.StartUp();
  h.Find<QPushButton>("Button1")->click();
  QCOMPARE(AccessibleName(h.Find<QWidget>("CheckBox1")), QStringLiteral("Check FLASH"));
  h.Find<QPushButton>("Button1")->click();
  QCOMPARE(AccessibleName(h.Find<QWidget>("CheckBox1")), QStringLiteral("Read FLASH"));
}

void AccessibleNamesTest::logRowsAreNamedByTheirText() {
  WindowHarness h;
  h.StartUp();
  for (int row : {0, 1, 2}) QCOMPARE(AccessibleName(h.form.LogRow(row)), h.RowText(row));
  QVERIFY(h.RowText(0).contains(QStringLiteral("Program started.")));
}

QTEST_MAIN(AccessibleNamesTest)
#include "accessible_names_test.moc"
