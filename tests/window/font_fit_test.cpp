// Every caption fits its control with each face the window can use on this machine
// (Tahoma, Liberation Sans, the narrowed desktop font), so no letter is cut off.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>
#include <QtTest>

#include "app/window_font.h"
#include "tests/window/window_harness.h"

namespace {

// The width the style gives a button's caption.
int CaptionRoom(QAbstractButton* button) {
  if (auto* push = qobject_cast<QPushButton*>(button)) {
    QStyleOptionButton option;
    option.initFrom(push);
    option.features =
        push->autoDefault() ? QStyleOptionButton::AutoDefaultButton : QStyleOptionButton::None;
    return push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push).width();
  }
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
  return button->style()
      ->subElementRect(radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents,
                       &option, button)
      .width();
}

int Advance(QWidget* w, const QString& text) {
  return w->fontMetrics().horizontalAdvance(QString(text).remove(QLatin1Char('&')));
}

}  // namespace

class FontFitTest : public QObject {
  Q_OBJECT

 private slots:
  void windowUsesTheFirstChoice();
  void captionsFit_data();
  void captionsFit();
};

void FontFitTest::windowUsesTheFirstChoice() {
  const QList<QFont> choices = WindowFontChoices();
  QVERIFY(!choices.isEmpty());
  WindowHarness h;
  QCOMPARE(h.form.font(), choices.first());
  QCOMPARE(h.form.font().pixelSize(), 11);
  QVERIFY(h.Find<QPushButton>("btnCancel")->font().bold());
  // Where Wine's Tahoma is installed, it is the window's face.
  if (QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")))
    QCOMPARE(QFontInfo(h.form.font()).family(), QStringLiteral("Tahoma"));
}

void FontFitTest::captionsFit_data() {
  QTest::addColumn<QFont>("font");
  for (const QFont& font : WindowFontChoices())
    QTest::newRow(
        qPrintable(QFontInfo(font).family() + " stretch " + QString::number(font.stretch())))
        << font;
}

void FontFitTest::captionsFit() {
  QFETCH(QFont, font);
  WindowHarness h;
  h.form.SetWindowFont(font);
  QStringList cut;
  for (auto* button : h.form.findChildren<QAbstractButton*>()) {
    if (button->text().isEmpty())
      continue;  // CheckBox1: Button1 is its caption
    QStringList captions = {button->text()};
    if (button->objectName() == QLatin1String("Button1"))
      captions << QStringLiteral("Check FLASH");  // its other caption
    for (const QString& caption : captions)
      if (Advance(button, caption) > CaptionRoom(button))
        cut << button->objectName() + " \"" + caption + "\"";
  }
  // Caption labels end before the edit box beside them.
  for (const char* name : {"Label1", "Label2", "Label33", "lblMD5", "lblSHA1", "lblAGI"}) {
    auto* label = h.Find<QLabel>(name);
    if (label->x() + Advance(label, label->text()) > 224)
      cut << label->objectName();
  }
  QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
}

QTEST_MAIN(FontFitTest)
#include "font_fit_test.moc"
