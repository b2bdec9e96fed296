// The 30 log rows follow the EventLog: appended lines, scrolling with their colours,
// lines replaced in place, and texts shown exactly as they are.
#include <QLabel>
#include <QtTest>

#include "app/log_colour.h"
#include "tests/window/window_harness.h"

namespace {

QColor ColourOf(LogColour c) {
  const Rgb rgb = RgbOf(c);
  return QColor(rgb.r, rgb.g, rgb.b);
}

// Every row label shows its entry's text and colour, and sits at its own place.
void VerifyRowsMatchTheLog(WindowHarness& h) {
  const EventLog& log = h.form.context().log;
  for (int i = 0; i < EventLog::kRows; ++i) {
    QCOMPARE(h.RowText(i), QString::fromStdString(log.Row(i).text));
    QCOMPARE(h.RowColour(i), ColourOf(log.Row(i).colour));
    QCOMPARE(h.form.LogRow(i)->pos(), QPoint(8, 186 + 13 * i));
  }
}

}  // namespace

class LogViewTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsFillFromTheTopAndScroll();
  void replaceRewritesOnlyTheNewestRow();
  void replaceOnAnEmptyLogShowsRowOne();
  void textIsShownLiterallyAndWhole();
  void rowsAreSizedToTheirText();
  void aDarkFaceGetsReadableShades();
};

void LogViewTest::rowsFillFromTheTopAndScroll() {
  WindowHarness h;
  EventLog& log = h.form.context().log;
  const LogColour cycle[] = {LogColour::Green, LogColour::Red, LogColour::Purple};
  for (int i = 1; i <= 30; ++i) log.AppendLine("line " + std::to_string(i), cycle[i % 3]);
  VerifyRowsMatchTheLog(h);
  QCOMPARE(h.RowText(29), QStringLiteral("line 30"));

  for (int i = 31; i <= 40; ++i) log.AppendLine("line " + std::to_string(i), cycle[i % 3]);
  VerifyRowsMatchTheLog(h);
  QCOMPARE(h.RowText(0), QStringLiteral("line 11"));
  QCOMPARE(h.RowColour(0), ColourOf(LogColour::Purple));  // 11 % 3 == 2
  QCOMPARE(h.RowText(29), QStringLiteral("line 40"));
}

void LogViewTest::replaceRewritesOnlyTheNewestRow() {
  WindowHarness h;
  EventLog& log = h.form.context().log;
  for (int i = 1; i <= 5; ++i) log.AppendLine("line " + std::to_string(i), LogColour::Green);
  for (int p = 0; p <= 100; ++p)
    log.ReplaceLastLine("Reading " + std::to_string(p) + "%", LogColour::Green);
  log.ReplaceLastLine("[x] Operation cancelled", LogColour::Red);
  VerifyRowsMatchTheLog(h);
  QCOMPARE(h.RowText(3), QStringLiteral("line 4"));
  QCOMPARE(h.RowText(4), QStringLiteral("[x] Operation cancelled"));
  QCOMPARE(h.RowColour(4), QColor(255, 0, 0));
  QCOMPARE(h.RowText(5), QString());

  // Back to green with a new text: both follow.
  log.ReplaceLastLine("again", LogColour::Green);
  QCOMPARE(h.RowColour(4), QColor(0, 128, 0));
  QCOMPARE(h.RowText(4), QStringLiteral("again"));
}

void LogViewTest::replaceOnAnEmptyLogShowsRowOne() {
  WindowHarness h;
  EventLog& log = h.form.context().log;
  log.ReplaceLastLine("shown, not counted", LogColour::Purple);
  QCOMPARE(h.RowText(0), QStringLiteral("shown, not counted"));
  QCOMPARE(h.RowColour(0), QColor(128, 0, 128));
  log.AppendLine("first", LogColour::Green);
  QCOMPARE(h.RowText(0), QStringLiteral("first"));
  QCOMPARE(h.RowColour(0), QColor(0, 128, 0));
  VerifyRowsMatchTheLog(h);
}

void LogViewTest::textIsShownLiterallyAndWhole() {
  WindowHarness h;
  EventLog& log = h.form.context().log;
  const std::string path = "/tmp/<b>bold</b> &amp; " + std::string(400, 'p') + " \xc3\xa4.bin";
  log.AppendLine(path, LogColour::Green);
  log.AppendLine(" ", LogColour::Green);
  QCOMPARE(h.RowText(0), QString::fromUtf8(path.c_str()));
  QCOMPARE(h.RowText(1), QStringLiteral(" "));
  QCOMPARE(h.form.LogRow(0)->textFormat(), Qt::PlainText);
  // Wider than the window: the label holds it all, the window edge cuts it.
  QVERIFY(h.form.LogRow(0)->width() > h.form.width());
}

void LogViewTest::rowsAreSizedToTheirText() {
  WindowHarness h;
  EventLog& log = h.form.context().log;
  log.AppendLine("short", LogColour::Green);
  const int shortWidth = h.form.LogRow(0)->width();
  log.ReplaceLastLine("a rather longer line of text", LogColour::Green);
  QVERIFY(h.form.LogRow(0)->width() > shortWidth);
  QCOMPARE(h.form.LogRow(0)->size(), h.form.LogRow(0)->sizeHint());
}

// On a dark desktop the rows take the shades chosen against the window's own face.
void LogViewTest::aDarkFaceGetsReadableShades() {
  const QPalette desktop = QApplication::palette();
  QPalette dark = desktop;
  dark.setColor(QPalette::Button, QColor(0x42, 0x42, 0x45));
  QApplication::setPalette(dark);
  WindowHarness h;
  QApplication::setPalette(desktop);
  const LogColour cycle[] = {LogColour::Green, LogColour::Red, LogColour::Purple};
  for (const LogColour c : cycle) h.form.context().log.AppendLine("line", c);
  for (int i = 0; i < 3; ++i) {
    const Rgb shade = LogRgb(cycle[i], {0x42, 0x42, 0x45});
    QCOMPARE(h.RowColour(i), QColor(shade.r, shade.g, shade.b));
    QVERIFY(h.RowColour(i) != ColourOf(cycle[i]));
  }
}

QTEST_MAIN(LogViewTest)
#include "log_view_test.moc"
