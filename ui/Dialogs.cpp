#include "ui/Dialogs.h"

namespace tc {

HRESULT showOptionsDialog() { return S_OK; }
HRESULT showAboutBox() { return S_OK; }
HWND activePluginForm() { return nullptr; }

} // namespace tc
