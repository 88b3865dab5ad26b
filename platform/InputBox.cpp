#include "platform/InputBox.h"

#include <imm.h>

namespace tc::win {
namespace {

// The boxes are this thread's own, so the answers come at once; the bound is
// for a child some other thread made.
constexpr UINT kAnswerMs = 100;

bool ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& answer) {
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                               kAnswerMs, &answer) != 0;
}

BOOL CALLBACK collectBox(HWND window, LPARAM boxes) {
    if (isInputBox(window)) reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(window);
    return TRUE;
}

} // namespace

bool isInputBox(HWND window) {
    DWORD_PTR code = 0;
    if (!window || !ask(window, WM_GETDLGCODE, 0, 0, code)) return false;
    return (code & DLGC_HASSETSEL) && !(GetWindowLongW(window, GWL_STYLE) & ES_READONLY);
}

std::vector<HWND> inputBoxes(HWND window) {
    std::vector<HWND> boxes;
    if (window) EnumChildWindows(window, collectBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

LRESULT textLength(HWND box) {
    DWORD_PTR length = 0;
    if (!ask(box, WM_GETTEXTLENGTH, 0, 0, length)) return 1;
    return static_cast<LRESULT>(length);
}

bool clearText(HWND box) {
    DWORD_PTR ignored = 0;
    ask(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), ignored);
    return textLength(box) == 0;
}

bool compositionOpen(HWND window) {
    if (!window) return false;
    HIMC context = ImmGetContext(window);
    if (!context) return false;
    const LONG bytes = ImmGetCompositionStringW(context, GCS_COMPSTR, nullptr, 0);
    ImmReleaseContext(window, context);
    return bytes > 0;
}

} // namespace tc::win
