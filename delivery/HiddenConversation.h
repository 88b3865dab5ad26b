#pragma once
// The plug-in's own conversation with the pseudo-contact "Debug.Window": the
// window that takes the hot key when the user's conversation cannot. It is
// opened once, kept hidden, and found again in the conversation list. Also
// what the delivery asks of a conversation's text boxes.
#include "MessengerApi_h.h"
#include "messenger/MessengerSession.h"
#include "platform/ComPtr.h"

#include <windows.h>

namespace tc::hiddenConversation {

// The first conversation in list order whose first contact reads as
// "Debug.Window"; one whose contacts cannot be read is passed over, and a
// later match is never touched. Null when there is none.
ComPtr<IMessengerConversationWnd> find(MessengerSession& messenger);

// A new one; null when the messenger could not open it.
ComPtr<IMessengerConversationWnd> open(MessengerSession& messenger);

// The conversation's window as it reports it now; null when that cannot be
// read. Never kept: the messenger may close the window at any time.
HWND window(IMessengerConversationWnd* conversation);

void hide(IMessengerConversationWnd* conversation);

// Whether a conversation's text boxes hold anything of the user's, or an
// input method composes in one. One whose boxes cannot be found cannot be
// told, and counts as holding a draft.
bool holdsDraft(HWND conversation);

// Empties the conversation's boxes; false when something stays (text, or an
// open composition).
bool emptyBoxes(HWND conversation);

} // namespace tc::hiddenConversation
