// The operations the toolkit-free code uses to talk to the main window. The Qt window
// TForm1 implements them; tests implement them with a scripted fake. Nothing below this
// interface knows which toolkit (if any) is behind it.
#pragma once

#include <optional>
#include <string>

// Every control the logic reads or changes, named as in the window.
enum class Control {
  btnStart,
  btnCancel,
  btnExit,
  CheckBox1,
  CheckBox2,
  CheckBox3,
  Button1,
  Button2,
  RadioButton1,
  RadioButton2,
  isSharp,
  ProgressBar1,
  MD5_result,
  SHA1_result,
  CRC_result,
  MD5_check,
  SHA1_check,
  CRC_check,
  Label1,
  Label2,
  Label33,
  lblMD5,
  lblSHA1,
  lblAGI,
};

// System colours used as edit-box backgrounds.
enum class SystemColour { ScrollBar, ButtonFace, Window };

// The three file dialogs. Each keeps the last chosen path as its current file name.
enum class FileDialog {
  OpenDialog1,  // "Select file for write"
  SaveDialog1,  // "Select file for save"
  OpenDialog2,  // "Select file for check"
};

struct Rgb {
  unsigned char r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

class WindowOps {
 public:
  virtual ~WindowOps() = default;

  // Modal message box with one OK button.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
  // Modal question with OK and Cancel; true only for OK.
  virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;

  // Runs a file dialog. On OK the dialog remembers the path and it is returned; on
  // Cancel nothing is returned and the remembered path stays as it was.
  virtual std::optional<std::string> RunFileDialog(FileDialog dialog) = 0;
  // The dialog's current file name (the last chosen path, empty before any).
  virtual std::string DialogFileName(FileDialog dialog) const = 0;

  virtual void SetEnabled(Control control, bool enabled) = 0;
  virtual bool IsEnabled(Control control) const = 0;
  virtual void SetVisible(Control control, bool visible) = 0;
  virtual bool IsVisible(Control control) const = 0;
  // Background colour of an edit box.
  virtual void SetBackground(Control control, SystemColour colour) = 0;
  // Text colour of a button or label.
  virtual void SetTextColour(Control control, Rgb colour) = 0;

  // Caption of a button, or the text of an edit box (edit boxes hold lower case).
  virtual std::string Text(Control control) const = 0;
  virtual void SetText(Control control, const std::string& text) = 0;

  // Check mark of a check box or radio button. A change made here runs the control's
  // click handler exactly as an operator's click does.
  virtual bool IsChecked(Control control) const = 0;
  virtual void SetChecked(Control control, bool checked) = 0;

  virtual void SetProgressPosition(int position) = 0;
  virtual void SetProgressMaximum(int maximum) = 0;
  virtual void StepProgress() = 0;
  virtual int ProgressPosition() const = 0;

  // Lets the window handle what is pending (repaints, a click on Cancel).
  virtual void ProcessEvents() = 0;
  // Closes the main window, which ends the program once control is back in the loop.
  virtual void CloseWindow() = 0;
};
