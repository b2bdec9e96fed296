// The behaviour of the main window, written against WindowOps so that it runs without
// the toolkit. The window calls these from its event handlers.
#pragma once

#include "app/app_context.h"

// Selection handlers.
void CheckBox1Click(AppContext& ctx);
void CheckBox2Click(AppContext& ctx);
void CheckBox3Click(AppContext& ctx);
void Button1Click(AppContext& ctx);
void RadioButton1Click(AppContext& ctx);
void RadioButton2Click(AppContext& ctx);

// First show: loads the database, reports it, puts the window in Auto and read mode.
void FormShow(AppContext& ctx);

// Routes a change of a check box or radio button, or a click on a button, to its
// handler (check boxes and radio buttons also when the program changes them).
void DispatchClick(AppContext& ctx, Control control);

// The operator's choices as the controls hold them now.
JobSelection TakeJobSelection(const AppContext& ctx);

// The Start sequence and the other buttons.
void btnStartClick(AppContext& ctx);
void btnCancelClick(AppContext& ctx);
void btnExitClick(AppContext& ctx);
void LockWindow(AppContext& ctx);
void UnlockWindow(AppContext& ctx);
