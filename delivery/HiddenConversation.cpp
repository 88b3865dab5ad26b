#include "delivery/HiddenConversation.h"

#include "messenger/MessengerAccess.h"
#include "platform/InputBox.h"

namespace tc::hiddenConversation {

ComPtr<IMessengerConversationWnd> find(MessengerSession& messenger) {
    // A snapshot: the calls below may let the messenger's events in, which
    // change the list.
    for (const ComPtr<IDispatch>& entry : messenger.conversations().windows()) {
        ComPtr<IMessengerConversationWnd> w;
        std::wstring contact;
        if (SUCCEEDED(entry.as(IID_IMessengerConversationWnd, w)) &&
            SUCCEEDED(messenger::firstContactSignin(w.get(), contact)) &&
            contact == messenger::kDebugContact)
            return w;
    }
    return {};
}

ComPtr<IMessengerConversationWnd> open(MessengerSession& messenger) {
    ComPtr<IMessengerConversationWnd> opened;
    if (FAILED(messenger.instantMessage(messenger::kDebugContact, opened))) return {};
    return opened;
}

HWND window(IMessengerConversationWnd* conversation) {
    LONG handle = 0;
    if (FAILED(messenger::windowHandle(conversation, handle))) return nullptr;
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle));
}

void hide(IMessengerConversationWnd* conversation) {
    if (HWND w = window(conversation)) ShowWindow(w, SW_HIDE);
}

bool holdsDraft(HWND conversation) {
    const std::vector<HWND> boxes = win::inputBoxes(conversation);
    if (boxes.empty()) return true;
    for (HWND box : boxes)
        if (win::textLength(box) != 0 || win::compositionOpen(box)) return true;
    return false;
}

bool emptyBoxes(HWND conversation) {
    for (HWND box : win::inputBoxes(conversation))
        if (!win::clearText(box) || win::compositionOpen(box)) return false;
    return true;
}

} // namespace tc::hiddenConversation
