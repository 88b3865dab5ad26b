#pragma once
// What the plug-in's two dialogs share: positions given in twips turned into
// pixels for this screen, fonts sized in points, a window class per form, and
// the modal loop that keeps the thread's timer and events running.
#include "platform/Boundary.h"
#include "platform/Handles.h"

#include <memory>
#include <string>

namespace tc::ui {

// 1,440 twips make an inch; with the screen's logical pixels per inch this
// gives 15 twips a pixel at 96 dpi and proportionally fewer on larger screens.
inline int twipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

struct ScreenDpi {
    int x = 96;
    int y = 96;
};
ScreenDpi screenDpi();

// A rectangle given in twips (left, top, width, height), in pixels.
struct TwipsRect {
    int left, top, width, height;
};
RECT toPixels(const TwipsRect& r, const ScreenDpi& dpi);

// A font of that point size (8.25, 14.25 ...) at the screen's resolution.
GdiObject<HFONT> makeFont(const wchar_t* face, double points, bool bold, const ScreenDpi& dpi);

// The icon of the product's forms, a resource of the module.
extern const int kFormIcon;

// Registers the class once per process in the module that holds the
// resources; `icon` is a resource id of that module (0 for none).
bool registerFormClass(const wchar_t* className, WNDPROC proc, int icon);

// Creates a top-level, fixed-size form whose client area measures the given
// twips, hidden, centred over its owner (or the screen).
HWND createForm(const wchar_t* className, const wchar_t* caption, int clientWidthTwips,
                int clientHeightTwips, HWND owner, void* state);

// Creates a child control at a position given in twips.
HWND createControl(HWND parent, int id, const wchar_t* className, const wchar_t* text,
                   DWORD style, const TwipsRect& where, const ScreenDpi& dpi, HFONT font);

std::wstring controlText(HWND control);

// What every form keeps besides its own: its background, the control that
// had the focus, and whether its window owns it yet.
struct FormState {
    explicit FormState(COLORREF colour) : background(CreateSolidBrush(colour)) {}
    GdiObject<HBRUSH> background;
    HWND savedFocus = nullptr;
    bool ownedByWindow = false; // set once creation has succeeded
};

// A form's state lives as long as its window. Call first thing in the form's
// window procedure: it attaches the state handed to createForm at
// WM_NCCREATE and, once creation has succeeded (`ownedByWindow`), frees it
// at WM_NCDESTROY. Returns the state, or null outside that span.
template <class State>
State* formState(HWND form, UINT msg, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(form, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created->lpCreateParams));
    }
    auto* state = reinterpret_cast<State*>(GetWindowLongPtrW(form, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(form, GWLP_USERDATA, 0);
        if (state && state->ownedByWindow) delete state;
        return nullptr;
    }
    return state;
}

// Creates a form with a new State that its window owns from then on, and
// builds its controls with `build(form, state)`; null when either fails.
template <class State, class Build>
HWND createStatefulForm(const wchar_t* className, const wchar_t* caption, int clientWidthTwips,
                        int clientHeightTwips, HWND owner, Build build) {
    auto state = std::make_unique<State>();
    HWND form = createForm(className, caption, clientWidthTwips, clientHeightTwips, owner,
                           state.get());
    if (!form) return nullptr;
    state->ownedByWindow = true;
    if (!build(form, *state.release())) {
        DestroyWindow(form);
        return nullptr;
    }
    return form;
}

// What every form answers alike: it paints its background, keeps the focus
// on the control that had it, closes without more on WM_CLOSE and forgets
// that it is open (`open`) when destroyed; anything else gets the default.
LRESULT commonFormMessage(HWND form, UINT msg, WPARAM wParam, LPARAM lParam, FormState* state,
                          HWND& open);

// The window procedure of a form: its own handler first (true when it
// handled the message, with its result), then what every form does alike.
// Nothing unwinds into the system.
template <class State, bool (*Handle)(HWND, UINT, WPARAM, LPARAM, State&, LRESULT&), HWND* Open>
LRESULT CALLBACK formProc(HWND form, UINT msg, WPARAM wParam, LPARAM lParam) {
    return windowBoundary(form, msg, wParam, lParam, [&]() -> LRESULT {
        State* state = formState<State>(form, msg, lParam);
        LRESULT result = 0;
        if (state && Handle(form, msg, wParam, lParam, *state, result)) return result;
        return commonFormMessage(form, msg, wParam, lParam, state, *Open);
    });
}

// The form of that procedure, registered with the product's icon and
// created hidden with a new State and its controls, and noted as the one
// that is open; null when either fails.
template <class State, bool (*Handle)(HWND, UINT, WPARAM, LPARAM, State&, LRESULT&), HWND* Open,
          class Build>
HWND openForm(const wchar_t* className, const wchar_t* caption, int clientWidthTwips,
              int clientHeightTwips, HWND owner, Build build) {
    if (!registerFormClass(className, formProc<State, Handle, Open>, kFormIcon)) return nullptr;
    HWND form = createStatefulForm<State>(className, caption, clientWidthTwips, clientHeightTwips,
                                          owner, build);
    if (form) *Open = form;
    return form;
}

// Shows the form in normal window state in front of the others, disables its
// owner, and dispatches every message of the thread (the plug-in's timer, the
// messenger's events, other windows) until the form has been destroyed. A
// WM_QUIT met on the way closes the form and is passed on to the outer loop.
void runModal(HWND form, HWND focus);

// Ends a modal form: the owner is enabled again before the form goes, so the
// activation returns to it rather than to some other program.
void closeForm(HWND form);

// Keeps the keyboard focus on the control that had it when the form is
// deactivated and activated again (plain windows put it on themselves).
// Call from WM_ACTIVATE; `saved` lives in the form's state. True when the
// focus was put back (the message is then handled).
bool keepFocusOnActivate(HWND form, WPARAM wParam, HWND& saved);

// Enter while a push button has the focus clicks that button, as in dialog
// boxes; the dialog manager reports it to the form as IDOK without a control.
bool clickFocusedButtonOnEnter(HWND form, WPARAM wParam, LPARAM lParam);

} // namespace tc::ui
