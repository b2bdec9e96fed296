// First show of the main window: load the database, report it, and put the window into
// Auto and read mode.
#include <string>

#include "app/core/form_logic.h"
#include "base/log_text.h"
#include "database/load_database.h"

namespace {

// ", MD5 check", ", MD5 NOT check", or nothing for the main hash.
std::string HashSuffix(HashMode mode, const char* name) {
  if (mode == HashMode::Main)
    return "";
  const std::string prefix = std::string(", ") + name;
  return mode == HashMode::Checked ? prefix + " check" : prefix + " NOT check";
}

}  // namespace

void LogDatabaseLoaded(JobContext& ctx) {
  const std::string stamp = ctx.Now();  // one time for both lines
  const FlashDatabase& db = ctx.database;
  ctx.host.AppendLine(
      LogText("[%s] Program started. Module types %d, vendors %d, chips %d, "
              "dumps hash's %d in database.",
              {stamp, std::to_string(db.moduleCount), std::to_string(db.vendorCount),
               std::to_string(db.chipCount), std::to_string(db.dumpHashCount)}),
      LogColour::Green);
  const HashSettings& hs = db.settings;
  ctx.host.AppendLine(LogText("[%s] %s main hash%s%s%s",
                              {stamp, MainHashName(hs), HashSuffix(hs.md5Mode, "MD5"),
                               HashSuffix(hs.sha1Mode, "SHA1"), HashSuffix(hs.crcMode, "AGI CRC")}),
                      LogColour::Green);
}

void FormShow(AppContext& ctx) {
  WindowOps& window = ctx.window;
  // The loader has shown its own message box. The close takes effect once control is
  // back in the event loop, so the report below still goes out.
  const DatabaseMessage showMessage = [&window](const std::string& text,
                                                const std::string& caption) {
    window.ShowMessage(text, caption);
  };
  if (!LoadDatabase(ctx.database, showMessage, ctx.databasePath))
    window.CloseWindow();

  LogDatabaseLoaded(ctx);

  window.SetEnabled(Control::RadioButton1, true);
  window.SetEnabled(Control::RadioButton2, true);
  window.SetChecked(Control::RadioButton1, true);  // runs RadioButton1Click

  ctx.readMode = true;
  window.SetText(Control::Button1, "Read FLASH");
  window.SetTextColour(Control::btnCancel, Rgb{255, 0, 0});
}
