#include "messenger/QuickTextDelivery.h"

#include "platform/Boundary.h"
#include "platform/Win32.h"
#include "settings/QuickTextSlot.h"

#include <algorithm>

namespace tc {

Look QuickTextDelivery::send(const std::wstring& command) {
    waiting_.reset();
    Look look;
    // Nothing composed yet in this process: there is no command to send, and
    // pressing the hot key would send whatever the slot held before.
    if (command.empty()) return look;
    Command c;
    c.text = command;
    bool signedIn = false;
    step([&] { signedIn = SUCCEEDED(messenger_.signinName(c.owner)); });
    if (!signedIn) return look;
    Outcome outcome = Outcome::Done;
    step([&] { outcome = attempt(c, look); });
    settle(std::move(c), outcome);
    return look;
}

// Nothing waiting is every idle tick: that answer allocates nothing.
Look QuickTextDelivery::sendWaiting() {
    // A key of ours left down would change every key the user presses.
    win::releaseOwnKeysLeftDown();
    Look look;
    if (!waiting_) return look;
    if (waiting_->newThisTick) {
        waiting_->newThisTick = false;
        return look;
    }
    Command c = std::move(*waiting_);
    waiting_.reset();
    Outcome outcome = Outcome::Done;
    step([&] { outcome = attempt(c, look); });
    settle(std::move(c), outcome);
    return look;
}

void QuickTextDelivery::settle(Command command, Outcome outcome) {
    switch (outcome) {
    case Outcome::Done:
        return;
    case Outcome::NotNow:
        waiting_ = std::move(command);
        return;
    case Outcome::KeysRefused:
        if (++command.keysRefused >= kMostRefusedTries) return;
        waiting_ = std::move(command);
        return;
    case Outcome::OnlyOpened:
        // A conversation that has only just opened gets no keys from this
        // try; the command has one more, once the conversation is listed.
        if (command.openedConversation) return;
        command.openedConversation = true;
        command.newThisTick = true;
        waiting_ = std::move(command);
        return;
    }
}

// Decided before anything is touched, and cheaply: a command that cannot go
// now costs the tick a few queries of the window system, no more.
QuickTextDelivery::Outcome QuickTextDelivery::attempt(const Command& command, Look& look) {
    Front front = lookAtTheFront(look);
    if (!front.mayBeUsed()) return Outcome::NotNow;
    if (!win::inputDesktopIsThisThreads()) return Outcome::NotNow;
    win::releaseOwnKeysLeftDown();
    if (!user_.keyboardFree()) return Outcome::NotNow;

    // Another user signed in since the command was made, or nobody is: it
    // is not theirs to get, and nothing goes into their slot.
    std::wstring signin;
    if (FAILED(messenger_.signinName(signin)) || signin != command.owner) return Outcome::Done;
    // The hot key sends whatever the slot holds: unless this try put its
    // command there, that is an old text, maybe the user's own.
    if (!writeSlot(command.owner, command.text)) return Outcome::Done;

    // The user may have moved on while the slot was written: keys go only
    // where we looked.
    if (GetForegroundWindow() != front.window) {
        front = lookAtTheFront(look);
        if (!front.mayBeUsed()) return Outcome::NotNow;
    }
    if (front.kind == Front::OurConversation) {
        // The user's own conversation stays in front and reads the keys
        // itself, but now: the add-on takes the slot's text when it handles
        // them, and a second delivery in the same tick would rewrite the
        // slot first.
        return pressHotKey(clock_.now());
    }
    return throughHiddenConversation(front.window);
}

// The class goes into `look` as soon as it is read: a try that fails after
// this still reports what it saw.
QuickTextDelivery::Front QuickTextDelivery::lookAtTheFront(Look& look) {
    Front f;
    f.window = GetForegroundWindow();
    look.foregroundClass = win::className(f.window, kClassNameLimit);
    const std::wstring& foregroundClass = *look.foregroundClass;
    // No window in front is not nobody's: the session is locked or on a
    // secure desktop, or the front is passing from one window to another.
    // The desktop window is nobody's: Wine reports it in front while no
    // window is active.
    if (!f.window) f.kind = Front::Nothing;
    else if (f.window == GetDesktopWindow()) f.kind = Front::Ours;
    else if (!win::ownedByThisProcess(f.window)) f.kind = Front::AnotherProgram;
    else if (foregroundClass == kConversationClass) f.kind = Front::OurConversation;
    else f.kind = Front::Ours;
    return f;
}

// The user's own content of the slot is saved before the first write, and a
// slot whose content could not be saved is not written.
bool QuickTextDelivery::writeSlot(const std::wstring& owner, const std::wstring& text) {
    bool written = false;
    step([&] { written = quickText::writeCommand(owner, text); });
    return written;
}

QuickTextDelivery::Outcome QuickTextDelivery::throughHiddenConversation(HWND before) {
    ComPtr<IMessengerConversationWnd> conversation;
    step([&] { conversation = hiddenConversation::find(messenger_); });
    if (conversation) {
        // The keys reach the window only when this thread reads them; hiding
        // it first would hand them to whichever window gets the focus next.
        // One that does not come to the front gets none, and the command is
        // given up: it would not come the next time either.
        const DWORD start = clock_.now();
        Outcome outcome = Outcome::Done;
        if (bringToFront(conversation.get())) outcome = pressHotKey(start);
        hiddenConversation::hide(conversation.get());
        handBackTheFront(before, conversation.get());
        return outcome;
    }
    step([&] { conversation = hiddenConversation::open(messenger_); });
    if (!conversation) return Outcome::Done;
    bringToFront(conversation.get());
    hiddenConversation::hide(conversation.get());
    handBackTheFront(before, conversation.get());
    return Outcome::OnlyOpened;
}

// Asks for the window to come to the front until it is there or the bound
// has passed, sleeping ever longer between attempts so that waiting costs
// next to no processor time. It dispatches no messages. True only when the
// window was seen in front; a window whose handle cannot be read is never.
bool QuickTextDelivery::bringToFront(IMessengerConversationWnd* conversation) {
    const DWORD start = clock_.now();
    DWORD pause = kBringToFrontFirstPause;
    for (;;) {
        if (HWND w = hiddenConversation::window(conversation)) SetForegroundWindow(w);
        const HWND front = GetForegroundWindow();
        const HWND w = hiddenConversation::window(conversation);
        if (!w) return false;
        if (front == w) return true;
        const DWORD spent = clock_.now() - start;
        if (spent >= kBringToFrontMilliseconds) return false;
        clock_.sleep(std::min(pause, kBringToFrontMilliseconds - spent));
        pause = std::min<DWORD>(pause * 2, kBringToFrontLongestPause);
    }
}

// Bringing the hidden conversation to the front made it the active window,
// and hiding it does not change that when it was hidden already: the user's
// next keys would go into an invisible conversation. The window that was in
// front before gets the front back; when there was none (or it has gone),
// the front goes to the desktop.
void QuickTextDelivery::handBackTheFront(HWND before, IMessengerConversationWnd* conversation) {
    const HWND hidden = hiddenConversation::window(conversation);
    if (before && before != hidden && IsWindow(before)) {
        SetForegroundWindow(before);
        return;
    }
    if (hidden && GetForegroundWindow() == hidden) {
        HWND desktop = GetShellWindow();
        SetForegroundWindow(desktop ? desktop : GetDesktopWindow());
    }
}

// Presses Alt+0, unless the user has taken up the keyboard since the look
// before, and lets this thread read the keys within what is left of the
// delivery's budget since `start`. Keys the system refused are not waited
// for, and none of them is left down.
QuickTextDelivery::Outcome QuickTextDelivery::pressHotKey(DWORD start) {
    if (!user_.keyboardFree()) return Outcome::NotNow;
    if (!win::sendAltZero()) {
        user_.ownKeysRead(); // those it took, and their release
        return Outcome::KeysRefused;
    }
    const DWORD spent = clock_.now() - start;
    if (spent < kDeliveryWaitMilliseconds)
        win::drainKeyboardInput(clock_, kDeliveryWaitMilliseconds - spent);
    user_.ownKeysRead();
    return Outcome::Done;
}

} // namespace tc
