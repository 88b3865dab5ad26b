#include "messenger/frmSendText.h"

namespace tc {

frmSendText& frmSendText::get() {
    static frmSendText* instance = nullptr;
    if (!instance) {
        instance = new frmSendText();
        instance->loadHr_ = instance->load();
    }
    return *instance;
}

frmSendText* frmSendText::existing() { return nullptr; }

HRESULT frmSendText::load() { return S_OK; }
void frmSendText::changeName() {}
void frmSendText::changeNameBack() {}
void frmSendText::deliverQuickText() {}

} // namespace tc
