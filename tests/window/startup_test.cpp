// The first show: database report in the log rows, Auto and read mode, and the end of
// the program when the database cannot be loaded.
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include "tests/window/window_harness.h"

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void logShowsTheDatabaseReport();
  void windowIsInAutoAndReadMode();
  void startUpRunsOnceOnTheFirstShow();
  void missingDatabaseClosesTheWindowAndEndsTheProgram();
  void windowIsCentredOnTheDesktop();
};

void StartupTest::logShowsTheDatabaseReport() {
  WindowHarness h;
  h.StartUp();

  QVERIFY(h.messages.empty());
  QCOMPARE(h.form.context().log.LineCount(), 2);
  QCOMPARE(h.RowText(0), QString::fromStdString(WindowHarness::Stamp() +
                                                "Program started. Module types 3, vendors 1, "
                                                "chips 2, dumps hash's 1 in database."));
  QCOMPARE(h.RowText(1), QString::fromStdString(WindowHarness::Stamp() +
                                                "MD5 main hash, SHA1 check, AGI CRC NOT check"));
  for (int row : {0, 1}) QCOMPARE(h.RowColour(row), QColor(0, 128, 0));
  for (int row = 2; row < 30; ++row) QCOMPARE(h.RowText(row), QString());
}

void StartupTest::windowIsInAutoAndReadMode() {
  WindowHarness h;
  h.StartUp();

  auto* autoMode = h.Find<QRadioButton>("RadioButton1");
  auto* manual = h.Find<QRadioButton>("RadioButton2");
  QVERIFY(autoMode->isChecked());
  QVERIFY(!manual->isChecked());
  QVERIFY(autoMode->isEnabled());
  QVERIFY(manual->isEnabled());
  const QColor face = h.form.ColourOf(SystemColour::ButtonFace);
  for (const char* name : {"MD5_check", "SHA1_check", "CRC_check"}) {
    auto* box = h.Find<QLineEdit>(name);
    QVERIFY2(!box->isEnabled(), name);
    QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Base), face);
  }
  // The result boxes are untouched by the start-up.
  QVERIFY(!h.Find<QLineEdit>("MD5_result")->isEnabled());
  QVERIFY(h.Find<QLineEdit>("CRC_result")->isEnabled());
  QCOMPARE(h.form.Background(Control::CRC_result), SystemColour::ScrollBar);
  QVERIFY(h.form.context().readMode);
  QCOMPARE(h.Find<QPushButton>("Button1")->text(), QStringLiteral("Read FLASH"));
  QCOMPARE(h.Find<QPushButton>("btnCancel")->palette().color(QPalette::ButtonText),
           QColor(255, 0, 0));
  QVERIFY(h.Find<QPushButton>("btnCancel")->isHidden());
  QVERIFY(h.Find<QPushButton>("btnStart")->isVisible());
  QVERIFY(h.form.isVisible());
}

void StartupTest::startUpRunsOnceOnTheFirstShow() {
  WindowHarness h;
  h.form.show();
  // Queued: nothing has run when show() returns.
  QCOMPARE(h.form.context().log.LineCount(), 0);
  QCoreApplication::processEvents();
  QCOMPARE(h.form.context().log.LineCount(), 2);

  h.form.hide();
  h.form.show();
  QCoreApplication::processEvents();
  QCOMPARE(h.form.context().log.LineCount(), 2);
}

void StartupTest::missingDatabaseClosesTheWindowAndEndsTheProgram() {
  WindowHarness h(nullptr);
  QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
  h.form.show();
  // As in the program: the loop runs the first-show handler, whose close ends the loop.
  WindowHarness::RunEventLoop();

  QCOMPARE(h.messages,
           (std::vector<WindowHarness::Message>{{"INI file error: No main hash", "Error"}}));
  QVERIFY(!h.form.isVisible());
  QCOMPARE(lastClosed.count(), 1);
  // The report still went out, on the empty database.
  QCOMPARE(h.RowText(0), QString::fromStdString(WindowHarness::Stamp() +
                                                "Program started. Module types 0, vendors 0, "
                                                "chips 0, dumps hash's 0 in database."));
  QCOMPARE(h.form.context().log.LineCount(), 2);
}

void StartupTest::windowIsCentredOnTheDesktop() {
  WindowHarness h;
  h.StartUp();
  const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint offset = h.form.frameGeometry().center() - desktop.center();
  // The frame is not known before the first show, so its width may shift the centre.
  const QSize frame = h.form.frameGeometry().size() - h.form.size();
  QVERIFY2(std::abs(offset.x()) <= frame.width() && std::abs(offset.y()) <= frame.height(),
           qPrintable(QStringLiteral("off by %1,%2").arg(offset.x()).arg(offset.y())));
}

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
