// Keys and close requests: Esc and Alt+X press Exit only while it is enabled; a close
// request from the desktop acts as Exit when idle and is refused while a job runs; edit
// boxes hold lower case.
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/core/form_logic.h"
#include "tests/window/window_harness.h"

class KeyboardTest : public QObject {
  Q_OBJECT

 private slots:
  void escapeClosesTheIdleWindow();
  void altXClosesTheIdleWindow();
  void escapeAndAltXDoNothingWhileRunning();
  void closeRequestIsRefusedWhileRunning();
  void closeRequestWhenIdleEndsTheProgram();
  void typedUpperCaseIsHeldInLowerCase();
  void textSetByTheProgramIsHeldInLowerCase();
  void resultBoxesAreReadOnlyButCrcResult();
  void returnAndEnterPressTheFocusedButton_data();
  void returnAndEnterPressTheFocusedButton();
  void digestIsShownFromItsFirstCharacter();
};

void KeyboardTest::escapeClosesTheIdleWindow() {
  WindowHarness h;
  h.StartUp();
  QVERIFY(h.form.isVisible());
  QTest::keyClick(&h.form, Qt::Key_Escape);
  QVERIFY(!h.form.isVisible());
}

void KeyboardTest::altXClosesTheIdleWindow() {
  WindowHarness h;
  h.StartUp();
  auto* exit = h.Find<QPushButton>("btnExit");
  QTest::keyClick(&h.form, Qt::Key_X, Qt::AltModifier);
  // A mnemonic presses the button visibly and clicks it a moment later.
  QVERIFY(exit->isDown());
  QTRY_VERIFY(!h.form.isVisible());
}

void KeyboardTest::escapeAndAltXDoNothingWhileRunning() {
  WindowHarness h;
  h.StartUp();
  LockWindow(h.form.context());  // the state of a running Start sequence
  QVERIFY(!h.Find<QPushButton>("btnExit")->isEnabled());
  QVERIFY(h.Find<QPushButton>("btnCancel")->isVisible());

  QTest::keyClick(&h.form, Qt::Key_Escape);
  QTest::keyClick(h.Find<QLineEdit>("CRC_result"), Qt::Key_Escape);
  QTest::keyClick(&h.form, Qt::Key_X, Qt::AltModifier);
  QVERIFY2(!h.Find<QPushButton>("btnExit")->isDown(), "Alt+X must not press a disabled Exit");
  QCoreApplication::processEvents();
  QVERIFY(h.form.isVisible());
  QVERIFY2(!h.form.context().cancelFlag, "Esc is not Cancel");

  UnlockWindow(h.form.context());
  QTest::keyClick(&h.form, Qt::Key_Escape);
  QVERIFY(!h.form.isVisible());
}

void KeyboardTest::closeRequestIsRefusedWhileRunning() {
  WindowHarness h;
  h.StartUp();
  LockWindow(h.form.context());

  QCloseEvent request;  // as the desktop sends it for Alt+F4
  QCoreApplication::sendEvent(&h.form, &request);
  QVERIFY(!request.isAccepted());
  QVERIFY(!h.form.close());
  QVERIFY(h.form.isVisible());
}

void KeyboardTest::closeRequestWhenIdleEndsTheProgram() {
  WindowHarness h;
  h.StartUp();
  QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
  QTimer::singleShot(0, &h.form, [&h] {
    QCloseEvent request;  // as the desktop sends it for Alt+F4
    QCoreApplication::sendEvent(&h.form, &request);
    QVERIFY(request.isAccepted());
    h.form.close();
  });
  WindowHarness::RunEventLoop();  // returns once the program would end
  QVERIFY(!h.form.isVisible());
  QCOMPARE(lastClosed.count(), 1);
}

void KeyboardTest::typedUpperCaseIsHeldInLowerCase() {
  WindowHarness h;
  h.StartUp();
  h.form.SetChecked(Control::RadioButton2, true);  // Manual: the boxes take input
  auto* md5 = h.Find<QLineEdit>("MD5_check");
  QTest::keyClicks(md5, QStringLiteral("ABCDEF0123456789"));
  QCOMPARE(md5->text(), QStringLiteral("abcdef0123456789"));
  QCOMPARE(h.form.Text(Control::MD5_check), std::string("abcdef0123456789"));

  // Typing in the middle keeps the cursor after the typed letter.
  md5->setCursorPosition(3);
  QTest::keyClick(md5, Qt::Key_F, Qt::ShiftModifier);
  QCOMPARE(md5->text(), QStringLiteral("abcfdef0123456789"));
  QCOMPARE(md5->cursorPosition(), 4);
  QTest::keyClicks(md5, QStringLiteral("E"));
  QCOMPARE(md5->text(), QStringLiteral("abcfedef0123456789"));
}

void KeyboardTest::textSetByTheProgramIsHeldInLowerCase() {
  WindowHarness h;
  for (Control c : {Control::MD5_result, Control::SHA1_result, Control::CRC_result,
                    Control::MD5_check, Control::SHA1_check, Control::CRC_check}) {
    h.form.SetText(c, "00AABBCCDDEEFF");
    QCOMPARE(h.form.Text(c), std::string("00aabbccddeeff"));
    QCOMPARE(qobject_cast<QLineEdit*>(h.form.Widget(c))->text(), QStringLiteral("00aabbccddeeff"));
  }
}

void KeyboardTest::resultBoxesAreReadOnlyButCrcResult() {
  WindowHarness h;
  h.StartUp();
  UnlockWindow(h.form.context());  // as after a run: the result boxes are enabled
  auto* md5 = h.Find<QLineEdit>("MD5_result");
  auto* crc = h.Find<QLineEdit>("CRC_result");
  QVERIFY(md5->isEnabled());
  QTest::keyClicks(md5, QStringLiteral("12"));
  QCOMPARE(md5->text(), QString());
  QTest::keyClicks(crc, QStringLiteral("AB12"));
  QCOMPARE(crc->text(), QStringLiteral("ab12"));
}

void KeyboardTest::returnAndEnterPressTheFocusedButton_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<int>("key");
  for (const char* button : {"btnStart", "btnCancel", "btnExit", "Button1"}) {
    QTest::addRow("%s Return", button) << QString::fromLatin1(button) << int(Qt::Key_Return);
    QTest::addRow("%s Enter", button) << QString::fromLatin1(button) << int(Qt::Key_Enter);
  }
}

void KeyboardTest::returnAndEnterPressTheFocusedButton() {
  QFETCH(QString, button);
  QFETCH(int, key);
  WindowHarness h;
  h.StartUp();
  AppContext& ctx = h.form.context();
  if (button == QLatin1String("btnCancel"))
    LockWindow(ctx);  // Cancel is there only while a job runs
  auto* pressed = h.Find<QPushButton>(qPrintable(button));
  pressed->setFocus();
  QSignalSpy clicks(pressed, &QPushButton::clicked);
  QTest::keyClick(pressed, Qt::Key(key));
  QCOMPARE(clicks.count(), 1);
  // And the handler ran.
  if (button == QLatin1String("btnStart"))
    QCOMPARE(h.messages.size(), size_t{1});  // "Nothing to do"
  else if (button == QLatin1String("btnCancel"))
    QVERIFY(ctx.cancelFlag);
  else if (button == QLatin1String("btnExit"))
    QVERIFY(!h.form.isVisible());
  else
    QCOMPARE(h.form.Text(Control::Button1), std::string("Check FLASH"));
}

// A digest wider than its box (a 40-digit SHA-1 is, in most faces; twice that is, in any)
// is shown from the first digit, whole in its tooltip and selected whole by a click; a
// typed expected digest likewise once the operator has left the box.
void KeyboardTest::digestIsShownFromItsFirstCharacter() {
  WindowHarness h;
  h.StartUp();
  UnlockWindow(h.form.context());
  h.form.SetChecked(Control::RadioButton2, true);
  const QString sha1 = QStringLiteral("0123456789abcdef0123456789abcdef01234567").repeated(2);
  auto* result = h.Find<QLineEdit>("SHA1_result");
  auto* expected = h.Find<QLineEdit>("SHA1_check");
  h.form.SetText(Control::SHA1_result, sha1.toUpper().toStdString());
  expected->setFocus();
  QTest::keyClicks(expected, sha1.toUpper());
  h.Find<QPushButton>("btnStart")->setFocus();  // the operator leaves the box
  for (QLineEdit* box : {result, expected}) {
    QVERIFY(box->fontMetrics().horizontalAdvance(sha1) > box->width());
    QCOMPARE(box->text(), sha1);
    QCOMPARE(box->toolTip(), sha1);
    QVERIFY2(box->cursorPosition() == 0, qPrintable(box->objectName()));
    box->grab();  // paints, which scrolls the text to the cursor
    const QRect cursor = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QVERIFY2(cursor.left() < box->width() / 4, qPrintable(box->objectName()));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
    QCOMPARE(box->selectedText(), sha1);
  }
}

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
