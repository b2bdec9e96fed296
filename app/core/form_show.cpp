// First show of the main window: load the database, report it, and put the window into
// Auto and read mode.
#include <string>

#include "app/core/form_logic.h"
#include "database/load_database.h"
#include "run/database_lines.h"

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
