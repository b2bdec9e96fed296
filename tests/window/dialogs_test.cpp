// The real message boxes and file dialogs, answered from a queued call once they are
// open (no hooks set).
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "tests/window/window_harness.h"

namespace {

// Runs `answer` on the modal widget that the next call opens.
void WhenModalOpens(std::function<void(QWidget*)> answer) {
  QTimer::singleShot(0, [answer] {
    QWidget* modal = QApplication::activeModalWidget();
    QVERIFY(modal != nullptr);
    answer(modal);
  });
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void messageBoxHasCaptionTextAndOk();
  void questionIsTrueOnlyForOk();
  void fileDialogs_data();
  void fileDialogs();
  void cancelledDialogKeepsTheLastPath();
  void writeSourceInAMissingFolderIsRefused();

 private:
  QTemporaryDir dir_;
};

void DialogsTest::init() {
  QVERIFY(dir_.isValid());
}

void DialogsTest::messageBoxHasCaptionTextAndOk() {
  TForm1 form;
  QString caption, text;
  QMessageBox::StandardButtons buttons;
  Qt::TextFormat format = Qt::RichText;
  WhenModalOpens([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box != nullptr);
    caption = box->windowTitle();
    text = box->text();
    buttons = box->standardButtons();
    format = box->textFormat();
    box->button(QMessageBox::Ok)->click();
  });
  form.ShowMessage("Programmer <not> found & more", "Flash programmator");
  QCOMPARE(caption, QStringLiteral("Flash programmator"));
  QCOMPARE(text, QStringLiteral("Programmer <not> found & more"));
  QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  QCOMPARE(format, Qt::PlainText);
}

void DialogsTest::questionIsTrueOnlyForOk() {
  TForm1 form;
  for (auto answer : {QMessageBox::Ok, QMessageBox::Cancel}) {
    QMessageBox::StandardButtons buttons;
    WhenModalOpens([&buttons, answer](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box != nullptr);
      buttons = box->standardButtons();
      box->button(answer)->click();
    });
    const bool ok = form.AskOkCancel("Go on?", "Flash programmator");
    QCOMPARE(buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(ok, answer == QMessageBox::Ok);
  }
}

void DialogsTest::fileDialogs_data() {
  QTest::addColumn<int>("dialog");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("acceptMode");
  QTest::addColumn<bool>("placesBar");
  QTest::newRow("OpenDialog1") << int(FileDialog::OpenDialog1)
                               << QStringLiteral("Select file for write")
                               << int(QFileDialog::AcceptOpen) << false;
  QTest::newRow("SaveDialog1") << int(FileDialog::SaveDialog1)
                               << QStringLiteral("Select file for save")
                               << int(QFileDialog::AcceptSave) << true;
  QTest::newRow("OpenDialog2") << int(FileDialog::OpenDialog2)
                               << QStringLiteral("Select file for check")
                               << int(QFileDialog::AcceptOpen) << true;
}

void DialogsTest::fileDialogs() {
  QFETCH(int, dialog);
  QFETCH(QString, title);
  QFETCH(int, acceptMode);
  QFETCH(bool, placesBar);
  TForm1 form;
  const QString chosen = dir_.filePath(QStringLiteral("not yet there.bin"));
  QFileDialog* seen = nullptr;
  QString seenTitle;
  int seenMode = -1;
  bool noFilter = false, confirms = false, places = false;
  WhenModalOpens([&](QWidget* modal) {
    seen = qobject_cast<QFileDialog*>(modal);
    QVERIFY(seen != nullptr);
    seenTitle = seen->windowTitle();
    seenMode = seen->acceptMode();
    noFilter = seen->nameFilters() == QStringList{QStringLiteral("All Files (*)")} ||
               seen->nameFilters().isEmpty();
    confirms = !seen->testOption(QFileDialog::DontConfirmOverwrite);
    const auto* sidebar = seen->findChild<QWidget*>(QStringLiteral("sidebar"));
    places = sidebar != nullptr && sidebar->isVisible();
    seen->selectFile(chosen);
    static_cast<QDialog*>(seen)->accept();  // public as a QDialog
  });
  const auto result = form.RunFileDialog(static_cast<FileDialog>(dialog));
  QVERIFY(seen != nullptr);
  QCOMPARE(seenTitle, title);
  QCOMPARE(seenMode, acceptMode);
  QVERIFY(noFilter);
  QVERIFY(confirms);
  QCOMPARE(places, placesBar);
  QVERIFY(result.has_value());
  QCOMPARE(QString::fromStdString(*result), chosen);
  QCOMPARE(form.DialogFileName(static_cast<FileDialog>(dialog)), *result);
}

void DialogsTest::cancelledDialogKeepsTheLastPath() {
  TForm1 form;
  const QString first = dir_.filePath(QStringLiteral("first.bin"));
  WhenModalOpens([&](QWidget* modal) {
    auto* box = qobject_cast<QFileDialog*>(modal);
    QVERIFY(box != nullptr);
    box->selectFile(first);
    static_cast<QDialog*>(box)->accept();
  });
  QVERIFY(form.RunFileDialog(FileDialog::SaveDialog1).has_value());

  // The next time it opens at the last path; a cancel leaves it as it was.
  QString offered;
  WhenModalOpens([&](QWidget* modal) {
    auto* box = qobject_cast<QFileDialog*>(modal);
    QVERIFY(box != nullptr);
    offered = box->selectedFiles().value(0);
    box->reject();
  });
  QVERIFY(!form.RunFileDialog(FileDialog::SaveDialog1).has_value());
  QCOMPARE(offered, first);
  QCOMPARE(form.DialogFileName(FileDialog::SaveDialog1), QFile::encodeName(first).toStdString());
}

// Typed into the write dialog, a path in a folder that does not exist is refused with a
// warning, and the dialog stays open for another choice.
void DialogsTest::writeSourceInAMissingFolderIsRefused() {
  TForm1 form;
  const QString missing = dir_.filePath(QStringLiteral("missing/dump.bin"));
  QString warning;
  bool stillOpen = false;
  WhenModalOpens([&](QWidget* modal) {
    auto* box = qobject_cast<QFileDialog*>(modal);
    QVERIFY(box != nullptr);
    auto* name = box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name != nullptr);
    box->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(box));
    name->setFocus();
    QTest::keyClicks(name, missing);
    if (QWidget* completions = QApplication::activePopupWidget())
      completions->close();  // as a click elsewhere would
    WhenModalOpens([&](QWidget* refusal) {
      if (auto* message = qobject_cast<QMessageBox*>(refusal)) {
        warning = message->text();
        message->accept();
      }
    });
    QTest::keyClick(name, Qt::Key_Return);  // the warning opens and is answered here
    stillOpen = box->isVisible();
    box->reject();
  });
  QVERIFY(!form.RunFileDialog(FileDialog::OpenDialog1).has_value());
  QVERIFY2(warning.contains(QStringLiteral("Path not found")), qPrintable(warning));
  QVERIFY(stillOpen);
  QCOMPARE(form.DialogFileName(FileDialog::OpenDialog1), std::string());
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
