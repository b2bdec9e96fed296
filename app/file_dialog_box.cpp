// The file dialogs are Qt's own (not the desktop's), so that every option below holds on
// any desktop: no type filter, resizable, overwrite confirmation on save, and a folder
// that must exist for the write source.
#include "app/file_dialog_box.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

// With folderMustExist, refuses a path whose folder does not exist; the file itself need
// not exist yet (the job that opens it reports that).
class FileDialogBox : public QFileDialog {
 public:
  FileDialogBox(QWidget* parent, const QString& title, bool folderMustExist)
      : QFileDialog(parent, title), folderMustExist_(folderMustExist) {}

  void accept() override {
    const QStringList files = selectedFiles();
    if (folderMustExist_ && !files.isEmpty()) {
      const QFileInfo chosen(files.first());
      if (!chosen.isDir() && !chosen.absoluteDir().exists()) {
        QMessageBox::warning(this, windowTitle(),
                             QFileDialog::tr("%1\nPath not found.\nPlease verify the correct "
                                             "path was given.")
                                 .arg(chosen.absolutePath()));
        return;
      }
    }
    QFileDialog::accept();
  }

 private:
  bool folderMustExist_;
};

QString TitleOf(FileDialog dialog) {
  switch (dialog) {
    case FileDialog::OpenDialog1:
      return QStringLiteral("Select file for write");
    case FileDialog::SaveDialog1:
      return QStringLiteral("Select file for save");
    case FileDialog::OpenDialog2:
      break;
  }
  return QStringLiteral("Select file for check");
}

}  // namespace

std::optional<QString> RunFileDialogBox(QWidget* parent, FileDialog dialog,
                                        const QString& current) {
  FileDialogBox box(parent, TitleOf(dialog), dialog == FileDialog::OpenDialog1);
  box.setOption(QFileDialog::DontUseNativeDialog, true);
  box.setSizeGripEnabled(true);
  box.setFileMode(QFileDialog::AnyFile);
  box.setAcceptMode(dialog == FileDialog::SaveDialog1 ? QFileDialog::AcceptSave
                                                      : QFileDialog::AcceptOpen);
  // The write source is chosen without the places bar (the sidebar of Qt's dialog).
  if (dialog == FileDialog::OpenDialog1) {
    if (QWidget* places = box.findChild<QWidget*>(QStringLiteral("sidebar")))
      places->hide();
  }
  if (!current.isEmpty()) {
    const QFileInfo last(current);
    box.setDirectory(last.absolutePath());
    box.selectFile(last.fileName());
  }
  if (box.exec() != QDialog::Accepted)
    return std::nullopt;
  const QStringList files = box.selectedFiles();
  if (files.isEmpty())
    return std::nullopt;
  return QFileInfo(files.first()).absoluteFilePath();
}
