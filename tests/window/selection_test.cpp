// The operator's selection on the real controls: mouse clicks on the job boxes with
// their file dialogs, the Auto/Manual radios, and changes made by the program.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "app/core/form_logic.h"
#include "tests/window/window_harness.h"

class SelectionTest : public QObject {
  Q_OBJECT

 private slots:
  void readBoxClickLogsTheChosenFileInRowThree();
  void readBoxWithCancelledDialogStaysUnticked();
  void writeBoxAndToggleOnTheRealControls();
  void manualAndAutoChangeTheExpectedDigestBoxes();
  void programChangesRunTheHandlers();
  void jobSelectionIsReadFromTheControls();
  void startWithNothingSelectedSaysSo();
};

void SelectionTest::readBoxClickLogsTheChosenFileInRowThree() {
  WindowHarness h;
  h.StartUp();
  const std::string path =
      QFile::encodeName(h.dir.filePath("dumps/<first> & 100%.bin")).toStdString();
  h.dialogAnswers[FileDialog::SaveDialog1] = {path};

  auto* box = h.Find<QCheckBox>("CheckBox1");
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 8));

  QVERIFY(box->isChecked());
  QCOMPARE(h.dialogsRun, std::vector<FileDialog>{FileDialog::SaveDialog1});
  QCOMPARE(h.RowText(2),
           QString::fromStdString(WindowHarness::Stamp() + "Selected file for read: " + path));
  QCOMPARE(h.RowColour(2), QColor(0, 128, 0));
  QCOMPARE(h.form.DialogFileName(FileDialog::SaveDialog1), path);
  QCOMPARE(h.form.context().log.LineCount(), 3);
}

void SelectionTest::readBoxWithCancelledDialogStaysUnticked() {
  WindowHarness h;
  h.StartUp();
  h.dialogAnswers[FileDialog::SaveDialog1] = {"/kept.bin"};
  auto* box = h.Find<QCheckBox>("CheckBox1");
  box->click();
  box->click();
  box->click();  // cancelled this time

  QVERIFY(!box->isChecked());
  QCOMPARE(h.form.context().log.LineCount(), 5);
  QCOMPARE(h.RowText(3), QString::fromStdString(WindowHarness::Stamp() + "Read job deselected"));
  QCOMPARE(h.RowText(4), QString::fromStdString(WindowHarness::Stamp() + "Read job deselected"));
  QCOMPARE(h.form.DialogFileName(FileDialog::SaveDialog1), std::string("/kept.bin"));
}

void SelectionTest::writeBoxAndToggleOnTheRealControls() {
  WindowHarness h;
  h.StartUp();
  h.dialogAnswers[FileDialog::OpenDialog1] = {"/src/image.bin"};
  h.dialogAnswers[FileDialog::OpenDialog2] = {"/ref/image.bin"};
  h.Find<QCheckBox>("CheckBox3")->click();
  auto* toggle = h.Find<QPushButton>("Button1");
  QTest::mouseClick(toggle, Qt::LeftButton);
  QCOMPARE(toggle->text(), QStringLiteral("Check FLASH"));
  h.Find<QCheckBox>("CheckBox1")->click();
  QTest::mouseClick(toggle, Qt::LeftButton);
  QCOMPARE(toggle->text(), QStringLiteral("Read FLASH"));

  const std::string s = WindowHarness::Stamp();
  QCOMPARE(h.RowText(2), QString::fromStdString(s + "Selected file for write: /src/image.bin"));
  QCOMPARE(h.RowText(3), QString::fromStdString(s + "Selected file for check: /ref/image.bin"));
  QCOMPARE(h.RowText(4), QString::fromStdString(s + "Check job deselected"));
  QCOMPARE(h.form.context().log.LineCount(), 5);
  QVERIFY(!h.Find<QCheckBox>("CheckBox1")->isChecked());
  QCOMPARE(h.dialogsRun,
           (std::vector<FileDialog>{FileDialog::OpenDialog1, FileDialog::OpenDialog2}));
}

void SelectionTest::manualAndAutoChangeTheExpectedDigestBoxes() {
  WindowHarness h;
  h.StartUp();
  auto* md5 = h.Find<QLineEdit>("MD5_check");
  md5->setText(QStringLiteral("0123456789abcdef0123456789abcdef"));

  QTest::mouseClick(h.Find<QRadioButton>("RadioButton2"), Qt::LeftButton, {}, QPoint(5, 8));
  QVERIFY(h.Find<QRadioButton>("RadioButton2")->isChecked());
  QVERIFY(!h.Find<QRadioButton>("RadioButton1")->isChecked());
  const QColor window = h.form.ColourOf(SystemColour::Window);
  for (const char* name : {"MD5_check", "SHA1_check", "CRC_check"}) {
    auto* box = h.Find<QLineEdit>(name);
    QVERIFY2(box->isEnabled(), name);
    QCOMPARE(box->palette().color(QPalette::Active, QPalette::Base), window);
  }

  QTest::mouseClick(h.Find<QRadioButton>("RadioButton1"), Qt::LeftButton, {}, QPoint(5, 8));
  const QColor face = h.form.ColourOf(SystemColour::ButtonFace);
  for (const char* name : {"MD5_check", "SHA1_check", "CRC_check"}) {
    auto* box = h.Find<QLineEdit>(name);
    QVERIFY2(!box->isEnabled(), name);
    QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Base), face);
  }
  QCOMPARE(md5->text(), QStringLiteral("0123456789abcdef0123456789abcdef"));
  QCOMPARE(h.form.context().log.LineCount(), 2);
}

void SelectionTest::programChangesRunTheHandlers() {
  WindowHarness h;
  h.StartUp();
  h.form.SetChecked(Control::CheckBox2, true);
  QVERIFY(h.form.IsChecked(Control::CheckBox2));
  QCOMPARE(h.RowText(2), QString::fromStdString(WindowHarness::Stamp() + "Erase job selected"));
  h.form.SetChecked(Control::CheckBox2, true);  // no change, no handler
  QCOMPARE(h.form.context().log.LineCount(), 3);
  h.form.SetChecked(Control::RadioButton2, true);
  QVERIFY(h.form.IsEnabled(Control::CRC_check));
  QCOMPARE(h.form.Background(Control::CRC_check), SystemColour::Window);
  h.form.SetChecked(Control::RadioButton1, true);
  QVERIFY(!h.form.IsChecked(Control::RadioButton2));
  QVERIFY(!h.form.IsEnabled(Control::CRC_check));
  QCOMPARE(h.form.Background(Control::CRC_check), SystemColour::ButtonFace);
}

void SelectionTest::jobSelectionIsReadFromTheControls() {
  WindowHarness h;
  h.StartUp();
  h.dialogAnswers[FileDialog::SaveDialog1] = {"/r.bin"};
  h.dialogAnswers[FileDialog::OpenDialog1] = {"/w.bin"};
  h.Find<QCheckBox>("CheckBox1")->click();
  h.Find<QCheckBox>("CheckBox3")->click();
  h.Find<QRadioButton>("RadioButton2")->click();
  QTest::keyClicks(h.Find<QLineEdit>("CRC_check"), QStringLiteral("DEADBEEF"));

  const JobSelection s = TakeJobSelection(h.form.context());
  QVERIFY(s.ReadCheckSelected);
  QVERIFY(s.ReadMode);
  QVERIFY(!s.EraseSelected);
  QVERIFY(s.WriteSelected);
  QCOMPARE(s.ReadFileName, std::string("/r.bin"));
  QCOMPARE(s.WriteFileName, std::string("/w.bin"));
  QCOMPARE(s.CheckFileName, std::string());
  QVERIFY(s.hashCheckMode == HashCheckMode::Manual);
  QCOMPARE(s.ManualCRC, std::string("deadbeef"));
  QCOMPARE(s.ManualMD5, std::string());
}

void SelectionTest::startWithNothingSelectedSaysSo() {
  WindowHarness h;
  h.StartUp();
  // A click on Start runs the whole sequence before it returns.
  QTest::mouseClick(h.Find<QPushButton>("btnStart"), Qt::LeftButton);
  QCOMPARE(h.messages,
           (std::vector<WindowHarness::Message>{{"Nothing to do", "Flash programmator"}}));
  QCOMPARE(h.form.context().log.LineCount(), 2);
}

QTEST_MAIN(SelectionTest)
#include "selection_test.moc"
