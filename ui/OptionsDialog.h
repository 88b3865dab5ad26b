#pragma once
// The options dialog: which naming mode is used and the names and tags for
// it, read from the settings when it opens and written back only on save.
#include <windows.h>

namespace tc::ui {

// The open options dialog of the process, or null.
HWND optionsWindow();

// Builds the dialog, hidden, with its controls filled from the settings.
// Null when the window cannot be created.
HWND createOptions(HWND owner);

// The control that has the focus when the dialog comes up.
HWND optionsFirstFocus(HWND form);

} // namespace tc::ui
