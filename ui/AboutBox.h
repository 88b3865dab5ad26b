#pragma once
// The about box: name, version, the developer's contact details, a legal
// notice and a button that starts the system information tool.
#include <windows.h>

#include <string>

namespace tc::ui {

// The open about box of the process, or null.
HWND aboutWindow();

// Builds the about box, hidden. Null when the window cannot be created.
HWND createAbout(HWND owner);

HWND aboutFirstFocus(HWND form);

// "Version " and major.minor.revision of this module's version resource.
std::wstring versionText();

} // namespace tc::ui
