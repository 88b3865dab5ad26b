#pragma once
// The text boxes of a window of this thread, as the user types into them:
// whether they hold text, whether an input method is composing in one, and
// emptying one of ours. No class name is relied on: a box is told by what
// it answers, as the dialog manager tells its text boxes.
#include <windows.h>

#include <vector>

namespace tc::win {

// An editable text box: it answers WM_GETDLGCODE with DLGC_HASSETSEL, as
// edit and rich edit controls of any class do, and is not read-only.
bool isInputBox(HWND window);

// The input boxes among the window's descendants.
std::vector<HWND> inputBoxes(HWND window);

// Characters in the box (WM_GETTEXTLENGTH); a box that does not answer in
// time counts as holding text.
LRESULT textLength(HWND box);

// Empties the box; false when it still holds text afterwards.
bool clearText(HWND box);

// Whether an input method (a keyboard for another script, dictation) holds a
// composition open in that window: text the user is forming that is not in
// the box yet, and that a key would end.
bool compositionOpen(HWND window);

} // namespace tc::win
