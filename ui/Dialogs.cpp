#include "ui/Dialogs.h"

#include "platform/Module.h"
#include "ui/AboutBox.h"
#include "ui/FormKit.h"
#include "ui/OptionsDialog.h"

namespace tc {
namespace {

// A command for a dialog that is already up (typed in another conversation
// while it waits) cannot show it modally a second time: the existing one is
// brought forward and the command fails, as a second modal show would.
HRESULT alreadyShown(HWND open) {
    if (IsIconic(open)) ShowWindow(open, SW_RESTORE);
    SetForegroundWindow(open);
    return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
}

HRESULT showModal(HWND (*existing)(), HWND (*create)(HWND), HWND (*firstFocus)(HWND)) {
    if (HWND open = existing()) return alreadyShown(open);
    HWND form = create(activePluginForm());
    if (!form) {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    ui::runModal(form, firstFocus(form));
    return S_OK;
}

} // namespace

HRESULT showOptionsDialog() {
    return showModal(ui::optionsWindow, ui::createOptions, ui::optionsFirstFocus);
}

HRESULT showAboutBox() {
    return showModal(ui::aboutWindow, ui::createAbout, ui::aboutFirstFocus);
}

HWND activePluginForm() {
    // The plug-in's forms are the windows of classes this module registered;
    // an active window of the host or of anyone else gives no owner.
    HWND active = GetActiveWindow();
    if (!active) return nullptr;
    const auto classModule =
        reinterpret_cast<HINSTANCE>(GetClassLongPtrW(active, GCLP_HMODULE));
    return classModule == module::instance() ? active : nullptr;
}

} // namespace tc
