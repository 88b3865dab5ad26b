#pragma once
// The two dialogs the commands open. Each is shown modal and the call returns
// once it has closed; the thread keeps dispatching messages meanwhile, so the
// timer and the messenger's events go on.
#include <windows.h>

namespace tc {

HRESULT showOptionsDialog();
HRESULT showAboutBox();

// The owner a command's dialog gets: the plug-in's own window that is active
// now, or none.
HWND activePluginForm();

} // namespace tc
