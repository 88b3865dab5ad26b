#include "messenger/HiddenConversation.h"

#include "messenger/MessengerAccess.h"

namespace tc::hiddenConversation {

ComPtr<IMessengerConversationWnd> find(MessengerSide& messenger) {
    for (const ComPtr<IDispatch>& entry : messenger.conversations()) {
        ComPtr<IMessengerConversationWnd> w;
        std::wstring contact;
        if (SUCCEEDED(entry.as(IID_IMessengerConversationWnd, w)) &&
            SUCCEEDED(messenger::firstContactSignin(w.get(), contact)) &&
            contact == messenger::kDebugContact)
            return w;
    }
    return {};
}

ComPtr<IMessengerConversationWnd> open(MessengerSide& messenger) {
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

} // namespace tc::hiddenConversation
