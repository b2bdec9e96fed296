// The tool's one window: the job selection, Start/Cancel/Exit, the digests of the last
// read, the progress bar and the 30-row event log. The behaviour lives in the toolkit-free
// handlers (app/core); this class only carries the controls and implements WindowOps.
#pragma once

#include <QPalette>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/app_context.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

class TForm1 : public QWidget, public WindowOps {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  AppContext& context() { return ctx; }

  // Draws every control in `font` (Cancel in its bold); the window starts in WindowFont().
  void SetWindowFont(const QFont& font);

  // When set, these answer in place of the modal message boxes and file dialogs, so that
  // a test (or a headless tool) drives the window without a person. The file dialog hook
  // gets the dialog's current file name and returns the chosen path, or nothing for
  // Cancel.
  std::function<void(const std::string& text, const std::string& caption)> messageHook;
  std::function<bool(const std::string& text, const std::string& caption)> questionHook;
  std::function<std::optional<std::string>(FileDialog dialog, const std::string& current)>
      fileDialogHook;

  // The widget behind a control, and the label of log row `row` (0 = top).
  QWidget* Widget(Control control) const;
  QLabel* LogRow(int row) const { return logRows_.at(static_cast<size_t>(row)); }
  // The system colour an edit box was last given, and what it looks like here.
  SystemColour Background(Control control) const;
  QColor ColourOf(SystemColour colour) const;

  // WindowOps
  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> RunFileDialog(FileDialog dialog) override;
  std::string DialogFileName(FileDialog dialog) const override;
  void SetEnabled(Control control, bool enabled) override;
  bool IsEnabled(Control control) const override;
  void SetVisible(Control control, bool visible) override;
  bool IsVisible(Control control) const override;
  void SetBackground(Control control, SystemColour colour) override;
  void SetTextColour(Control control, Rgb colour) override;
  std::string Text(Control control) const override;
  void SetText(Control control, const std::string& text) override;
  bool IsChecked(Control control) const override;
  void SetChecked(Control control, bool checked) override;
  void SetProgressPosition(int position) override;
  void SetProgressMaximum(int maximum) override;
  void StepProgress() override;
  int ProgressPosition() const override;
  void ProcessEvents() override;
  void CloseWindow() override;

  void setVisible(bool visible) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  template <typename W>
  W* Place(Control control, const char* name, const QRect& geometry);
  void PlaceLabel(Control control, const char* name, const char* caption, int left, int top);
  void CreateControls();
  void CreateLogRows();
  void SetTabOrder();
  void ConnectHandlers();
  void ShowLogRow(int row);
  QAbstractButton* Button(Control control) const;
  QLineEdit* EditBox(Control control) const;

  QPushButton* btnStart = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnExit = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QCheckBox* isSharp = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;

  static constexpr size_t kControlCount = static_cast<size_t>(Control::lblAGI) + 1;
  std::array<QWidget*, kControlCount> controls_{};
  std::map<Control, SystemColour> backgrounds_;
  std::array<QLabel*, EventLog::kRows> logRows_{};
  std::array<EventLog::Entry, EventLog::kRows> shownRows_{};  // what each row label shows
  std::map<FileDialog, std::string> dialogFiles_;
  QPalette systemPalette_;
  bool firstShowDone_ = false;
  bool centred_ = false;

  AppContext ctx;
};
