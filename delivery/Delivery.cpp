#include "delivery/Delivery.h"

#include "delivery/HiddenConversation.h"
#include "delivery/QuickTextSlot.h"
#include "platform/Boundary.h"
#include "settings/SettingsStore.h"
#include "settings/ShownName.h"

#include <algorithm>

namespace tc {

void Delivery::want(composer::Wanted wanted) {
    waiting_.reset();
    Wish wish;
    wish.wanted = wanted;
    std::wstring signin;
    step([&] {
        if (SUCCEEDED(messenger_.signinName(signin))) lastSignin_ = signin;
    });
    wish.owner = lastSignin_;
    // Tried now, the wish waits for the next tick, not for the end of this
    // one: a conversation opened for it is listed by then.
    wish.triedThisTick = true;
    // Our own Alt left down would read as the user holding a key.
    keys_.releaseLeftDown();
    tryNow(std::move(wish));
}

// Nothing waiting is every idle tick: that answer allocates nothing.
void Delivery::sendWaiting() {
    // A key of ours left down would change every key the user presses.
    keys_.releaseLeftDown();
    if (!waiting_) return;
    if (waiting_->triedThisTick) {
        waiting_->triedThisTick = false;
        return;
    }
    Wish wish = std::move(*waiting_);
    waiting_.reset();
    tryNow(std::move(wish));
}

bool Delivery::dropWaiting() {
    const bool dropped = waiting_.has_value();
    waiting_.reset();
    return dropped;
}

void Delivery::tryNow(Wish wish) {
    Outcome outcome = Outcome::NotNow;
    if (!resting()) step([&] { outcome = attempt(wish); });
    settle(std::move(wish), outcome);
}

bool Delivery::resting() const {
    return failedTries_ >= kFailedTriesBeforeRest &&
           static_cast<LONG>(clock_.now() - restUntil_) < 0;
}

void Delivery::settle(Wish wish, Outcome outcome) {
    switch (outcome) {
    case Outcome::Delivered:
        failedTries_ = 0;
        return;
    case Outcome::Settled:
        return;
    case Outcome::Dropped:
        dropped_ = true;
        return;
    case Outcome::NotNow:
    case Outcome::OnlyOpened:
        waiting_ = std::move(wish);
        return;
    case Outcome::Failed:
        if (++failedTries_ >= kFailedTriesBeforeRest) restUntil_ = clock_.now() + kRestMilliseconds;
        waiting_ = std::move(wish);
        return;
    }
}

// Decided before anything is touched, and cheaply: a wish that cannot go now
// costs the tick a few queries of the window system, no more. Only then are
// the messenger and the settings asked what to send.
Delivery::Outcome Delivery::attempt(Wish& wish) {
    Front front = lookAtTheFront();
    if (notNow(front, user_)) return Outcome::NotNow;

    const composer::Sources settings = {[](const wchar_t* key) { return readSetting(key); }};
    // Before the options were first saved there is nothing to compose: the
    // wish waits for them.
    if (!composer::anyModeOn(settings)) return Outcome::NotNow;
    std::wstring signin;
    if (FAILED(messenger_.signinName(signin))) return Outcome::Failed;
    lastSignin_ = signin;
    // Another user signed in since the wish was made: it is not theirs, and
    // nothing goes into their slot.
    if (wish.owner.empty()) wish.owner = signin;
    if (signin != wish.owner) return Outcome::Dropped;
    std::optional<std::wstring> friendly(std::in_place);
    if (FAILED(messenger_.friendlyName(*friendly))) friendly.reset();
    const composer::Decision decision =
        composer::decide(wish.wanted, settings, friendly, shownName::read(signin));
    if (decision.kind == composer::Decision::Kind::Wait) return Outcome::Failed;
    if (decision.kind == composer::Decision::Kind::Nothing) return Outcome::Settled;
    if (decision.shown) shownName::write(signin, *decision.shown);
    // The hot key sends whatever the slot holds: unless this try put its
    // command there, that is an old text, maybe the user's own. The user's
    // own content of the slot is saved before the first write, and a slot
    // whose content could not be saved is not written.
    bool written = false;
    step([&] { written = quickText::writeCommand(signin, decision.command); });
    if (!written) return Outcome::Failed;

    // The user may have moved on while the slot was written: keys go only
    // where we looked.
    if (GetForegroundWindow() != front.window) {
        front = lookAtTheFront();
        if (notNow(front, user_)) return Outcome::NotNow;
    }
    if (front.kind == Front::OurConversation && !hiddenConversation::holdsDraft(front.window)) {
        // The user's own conversation stays in front and reads the keys
        // itself, but now: the add-on takes the slot's text when it handles
        // them, and a second delivery in the same tick would rewrite the
        // slot first.
        return pressHotKey(front, clock_.now());
    }
    // The add-on puts the quick text where the caret is and sends the whole
    // box: a draft of the user's would go to their contact with it, and the
    // command would be lost in it. The keys go to the hidden conversation
    // instead, and the user's conversation gets the front and the focus back.
    return throughHiddenConversation(front);
}

Delivery::Outcome Delivery::throughHiddenConversation(const Front& before) {
    const HWND focus = GetFocus();
    ComPtr<IMessengerConversationWnd> conversation;
    step([&] { conversation = hiddenConversation::find(messenger_); });
    // The one we opened last is ours to use while it is open, whether or not
    // the list has heard of it: opening another each time would leave one
    // more hidden window behind at every try.
    if (!conversation && opened_) {
        const HWND w = hiddenConversation::window(opened_.get());
        if (w && IsWindow(w)) conversation = opened_;
    }
    if (conversation) {
        // The keys reach the window only when this thread reads them; hiding
        // it first would hand them to whichever window gets the focus next.
        // One that does not come to the front gets none, and the wish waits.
        // Its own boxes are ours: whatever landed there (a key of the user's
        // during an earlier trip) would go out with the command and spoil it.
        const DWORD start = clock_.now();
        Outcome outcome = Outcome::Failed;
        if (bringToFront(conversation.get()) &&
            hiddenConversation::emptyBoxes(hiddenConversation::window(conversation.get())))
            outcome = pressHotKey(before, start);
        hiddenConversation::hide(conversation.get());
        handBackTheFront(before.window, focus, conversation.get());
        return outcome;
    }
    step([&] { conversation = hiddenConversation::open(messenger_); });
    if (!conversation) return Outcome::Failed;
    opened_ = conversation;
    bringToFront(conversation.get());
    hiddenConversation::hide(conversation.get());
    handBackTheFront(before.window, focus, conversation.get());
    return Outcome::OnlyOpened;
}

// Asks for the window to come to the front until it is there or the bound
// has passed, sleeping ever longer between attempts so that waiting costs
// next to no processor time. It dispatches no messages. True only when the
// window was seen in front; a window whose handle cannot be read is never.
bool Delivery::bringToFront(IMessengerConversationWnd* conversation) {
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
// front before gets the front back, and the control that had the focus gets
// it again, so that the user types on where they left off (a text box keeps
// its caret and selection meanwhile); when there was no window in front (or
// it has gone), the front goes to the desktop.
void Delivery::handBackTheFront(HWND before, HWND focus, IMessengerConversationWnd* conversation) {
    const HWND hidden = hiddenConversation::window(conversation);
    if (before && before != hidden && IsWindow(before)) {
        SetForegroundWindow(before);
        if (focus && IsWindow(focus) && (focus == before || IsChild(before, focus)))
            SetFocus(focus);
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
Delivery::Outcome Delivery::pressHotKey(const Front& front, DWORD start) {
    if (notNow(front, user_, true)) return Outcome::NotNow;
    if (!keys_.pressAltZero()) {
        user_.ownKeysRead(); // those it took, and their release
        return Outcome::Failed;
    }
    const DWORD spent = clock_.now() - start;
    if (spent < kDeliveryWaitMilliseconds)
        keys_.waitUntilRead(clock_, kDeliveryWaitMilliseconds - spent);
    user_.ownKeysRead();
    return Outcome::Delivered;
}

} // namespace tc
