// A whole Start run on the real window with the simulated programmer: the window is
// locked while the jobs let it process events (Esc, close requests and the selection do
// nothing then), Cancel stops the read, and the window is unlocked at the end.
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "sim/in_process_usb.h"
#include "sim/sim_bus.h"
#include "tests/window/window_harness.h"

namespace {

// True when some log row reads `text` in `colour`.
bool LogHas(const WindowHarness& h, const std::string& text, LogColour colour) {
  const EventLog& log = const_cast<TForm1&>(h.form).context().log;
  for (int i = 0; i < EventLog::kRows; ++i)
    if (log.Row(i).text == text && log.Row(i).colour == colour)
      return true;
  return false;
}

struct LockedLook {
  bool seen = false;
  bool startHidden = false, cancelShown = false, exitDisabled = false, boxesDisabled = false;
  bool stillOpenAfterEscape = false, closeRefused = false;
  int cancelPressedAt = 0;
};

}  // namespace

class StartRunTest : public QObject {
  Q_OBJECT

 private slots:
  void readRunsToTheEndAndUnlocks();
  void windowIsLockedWhileRunningAndCancelStopsTheRead();
  void twoProgrammersAreNotGuessedAt();
};

void StartRunTest::readRunsToTheEndAndUnlocks() {
  WindowHarness h;
  sim::SimBus bus;
  bus.AddProgrammer();  // 16 MiB module 03, chip c2 7e 21 01: both in the test database
  h.form.context().bindUsb = sim::InProcessBinder(bus);
  h.StartUp();
  const std::string dump = QFile::encodeName(h.dir.filePath("dump.bin")).toStdString();
  h.dialogAnswers[FileDialog::SaveDialog1] = {dump};
  h.Find<QCheckBox>("CheckBox1")->click();

  // The click returns when the whole sequence has run.
  QTest::mouseClick(h.Find<QPushButton>("btnStart"), Qt::LeftButton);

  QVERIFY(h.messages.empty());
  QVERIFY(LogHas(h, WindowHarness::Stamp() + "Start jobs", LogColour::Green));
  QVERIFY(LogHas(h, WindowHarness::Stamp() + "Jobs successful done", LogColour::Green));
  QCOMPARE(std::filesystem::file_size(dump), std::uintmax_t{16} << 20);
  const QString md5 = h.Find<QLineEdit>("MD5_result")->text();
  QCOMPARE(md5.size(), 32);
  QCOMPARE(md5, md5.toLower());
  // Unlocked: Idle again, in Auto mode.
  QVERIFY(!h.Find<QPushButton>("btnStart")->isHidden());
  QVERIFY(h.Find<QPushButton>("btnCancel")->isHidden());
  QVERIFY(h.Find<QPushButton>("btnExit")->isEnabled());
  QVERIFY(h.Find<QLineEdit>("MD5_result")->isEnabled());
  QVERIFY(!h.Find<QLineEdit>("MD5_check")->isEnabled());
  QCOMPARE(h.form.Background(Control::MD5_check), SystemColour::ButtonFace);
  QCOMPARE(h.form.ProgressPosition(), 0);
  QVERIFY(h.form.isVisible());
}

void StartRunTest::windowIsLockedWhileRunningAndCancelStopsTheRead() {
  WindowHarness h;
  sim::SimBus bus;
  bus.AddProgrammer();
  h.form.context().bindUsb = sim::InProcessBinder(bus);
  h.StartUp();
  h.dialogAnswers[FileDialog::SaveDialog1] = {
      QFile::encodeName(h.dir.filePath("dump.bin")).toStdString()};
  h.Find<QCheckBox>("CheckBox1")->click();

  // Runs at the first moment the read lets the window process its events.
  LockedLook look;
  QTimer::singleShot(0, &h.form, [&h, &look] {
    look.seen = true;
    look.startHidden = h.Find<QPushButton>("btnStart")->isHidden();
    look.cancelShown = h.Find<QPushButton>("btnCancel")->isVisible();
    look.exitDisabled = !h.Find<QPushButton>("btnExit")->isEnabled();
    look.boxesDisabled = !h.Find<QCheckBox>("CheckBox1")->isEnabled() &&
                         !h.Find<QCheckBox>("CheckBox2")->isEnabled() &&
                         !h.Find<QRadioButton>("RadioButton2")->isEnabled();
    QTest::keyClick(&h.form, Qt::Key_Escape);
    look.stillOpenAfterEscape = h.form.isVisible();
    QCloseEvent request;
    QCoreApplication::sendEvent(&h.form, &request);
    look.closeRefused = !request.isAccepted();
  });
  // The read clears the flag when it begins, so Cancel is pressed once blocks are coming.
  std::function<void()> cancelWhenReading = [&] {
    if (h.form.ProgressPosition() > 0) {
      QTest::mouseClick(h.Find<QPushButton>("btnCancel"), Qt::LeftButton);
      look.cancelPressedAt = h.form.ProgressPosition();
    } else {
      QTimer::singleShot(0, &h.form, cancelWhenReading);
    }
  };
  QTimer::singleShot(0, &h.form, cancelWhenReading);
  QTest::mouseClick(h.Find<QPushButton>("btnStart"), Qt::LeftButton);

  QVERIFY(look.seen);
  QVERIFY(look.startHidden);
  QVERIFY(look.cancelShown);
  QVERIFY(look.exitDisabled);
  QVERIFY(look.boxesDisabled);
  QVERIFY(look.stillOpenAfterEscape);
  QVERIFY(look.closeRefused);
  QVERIFY(look.cancelPressedAt > 0);
  QVERIFY(LogHas(h, WindowHarness::Stamp() + "Operation cancelled", LogColour::Red));
  QVERIFY(!LogHas(h, WindowHarness::Stamp() + "Jobs successful done", LogColour::Green));
  QVERIFY(h.form.isVisible());
  QVERIFY(!h.Find<QPushButton>("btnStart")->isHidden());
  QVERIFY(h.Find<QPushButton>("btnCancel")->isHidden());
  QVERIFY(h.Find<QCheckBox>("CheckBox1")->isEnabled());
  QVERIFY(h.Find<QCheckBox>("CheckBox1")->isChecked());  // the selection stays
}

// The window has no way to choose one of several programmers: it opens none and says so.
void StartRunTest::twoProgrammersAreNotGuessedAt() {
  WindowHarness h;
  sim::SimBus bus;
  bus.AddProgrammer();
  bus.AddProgrammer();
  h.form.context().bindUsb = sim::InProcessBinder(bus);
  h.StartUp();
  h.Find<QCheckBox>("CheckBox2")->click();  // erase

  QTest::mouseClick(h.Find<QPushButton>("btnStart"), Qt::LeftButton);
  QTest::mouseClick(h.Find<QPushButton>("btnStart"), Qt::LeftButton);  // each named once again

  const WindowHarness::Message several{
      "2 programmers found: 001:001, 002:001. Keep only one connected.", "Flash programmator"};
  QCOMPARE(h.messages, (std::vector<WindowHarness::Message>{several, several}));
  QCOMPARE(bus.CallCount("usb_open"), 0);
  QVERIFY(!LogHas(h, WindowHarness::Stamp() + "Start jobs", LogColour::Green));
  QVERIFY(!h.Find<QPushButton>("btnStart")->isHidden());
  QVERIFY(h.Find<QCheckBox>("CheckBox2")->isEnabled());
}

QTEST_MAIN(StartRunTest)
#include "start_run_test.moc"
