// The real main window, driven without a person: a database written to a private
// folder, a fixed clock, and hooks that record message boxes and answer file dialogs.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Unit1.h"

// The database of the loader's own example: 3 module types, 2 chips, 1 vendor, 1 dump;
// MD5 main, SHA-1 checked, AGI CRC not checked.
inline const char* const kExampleDatabase =
    "[Modules]\nA=3,16,0\nB=5,32,1\nC=6,64,1\n\n"
    "[Chips]\n1=Sample chip S8,8,0,c2,a5\n2=Sample chip W16,16,1,c2,7e,21,01\n\n"
    "[Vendors]\n1=Sample vendor,c2\n\n"
    "[Hash]\n1=Sample dump rev 1,0123456789ABCDEF0123456789ABCDEF,"
    "0123456789abcdef0123456789abcdef01234567,89abcdef\n\n"
    "[Setup]\nMD5_check=m\nSHA1_check=1\nAGI_CRC_check=0\n";

class WindowHarness {
 public:
  static constexpr double kClock = (14 * 3600 + 3 * 60 + 27) / 86400.0;

  struct Message {
    std::string text;
    std::string caption;
    bool operator==(const Message&) const = default;
  };

  // `database` is written as the INI file; nullptr leaves the file missing.
  explicit WindowHarness(const char* database = kExampleDatabase) {
    const QString path = dir.filePath(QStringLiteral("kz1_v2.6.ini"));
    if (database != nullptr) {
      QFile file(path);
      if (file.open(QIODevice::WriteOnly))
        file.write(database);
    }
    AppContext& ctx = form.context();
    ctx.databasePath = QFile::encodeName(path).toStdString();
    ctx.usbDevices = QFile::encodeName(dir.filePath(QStringLiteral("usb-devices"))).toStdString();
    ctx.now = [] { return kClock; };
    form.messageHook = [this](const std::string& text, const std::string& caption) {
      messages.push_back({text, caption});
    };
    form.questionHook = [this](const std::string& text, const std::string& caption) {
      messages.push_back({text, caption});
      return true;
    };
    form.fileDialogHook = [this](FileDialog dialog, const std::string&) {
      dialogsRun.push_back(dialog);
      auto& queue = dialogAnswers[dialog];
      if (queue.empty())
        return std::optional<std::string>();
      std::optional<std::string> answer = queue.front();
      queue.pop_front();
      return answer;
    };
  }

  // Shows the window and lets its first-show handler run; the window is then the active
  // one, as it is for an operator at the keyboard.
  void StartUp() {
    form.show();
    QCoreApplication::sendPostedEvents(&form, QEvent::MetaCall);
    if (form.isVisible()) {
      form.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&form));
    }
  }

  // Runs the event loop as the program does; it returns once the program would end.
  static void RunEventLoop() { QApplication::exec(); }

  static std::string Stamp() { return "[" + TimeText(kClock) + "] "; }

  template <typename W>
  W* Find(const char* name) {
    return form.findChild<W*>(QString::fromLatin1(name));
  }

  QString RowText(int row) const { return form.LogRow(row)->text(); }
  QColor RowColour(int row) const {
    return form.LogRow(row)->palette().color(QPalette::WindowText);
  }

  QTemporaryDir dir;
  TForm1 form;
  std::vector<Message> messages;
  std::vector<FileDialog> dialogsRun;
  std::map<FileDialog, std::deque<std::optional<std::string>>> dialogAnswers;  // empty: Cancel
};
