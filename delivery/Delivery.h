#pragma once
// Gets the display name changed by the chat add-on, the only way the plug-in
// has: the "/name" command goes into quick-text slot 09, and the slot's hot
// key, Alt+0, is pressed in a conversation of this messenger, which then
// sends the slot and carries the command out.
//
// What waits is what the name should show (the song, or the plain name), not
// a text: the command is composed when it goes out, from the name as it
// stands then, so that a name the user set meanwhile is built on and never
// undone. Only a newer wish, the switch turned off, or another user signing
// in ends a wish that has not gone out; every other failure keeps it waiting,
// and a road that keeps failing is tried again only now and then.
//
// Before anything is touched, the rules of NotNow.h say whether now is the
// time at all. Then the keys go:
//   - to the user's conversation in front, when its input box is empty;
//   - else to the hidden conversation, brought to the front for the moment
//     the keys take, after which the window that was in front (the user's
//     conversation with its draft, or the messenger's own window) gets the
//     front and its focus back.
#include "delivery/NotNow.h"
#include "delivery/OwnKeys.h"
#include "delivery/UserActivity.h"
#include "messenger/MessengerSession.h"
#include "naming/NameComposer.h"
#include "platform/Clock.h"

#include <optional>
#include <string>
#include <utility>

namespace tc {

// How long a delivery keeps asking for its window to come to the front.
inline constexpr DWORD kBringToFrontMilliseconds = 300;
// The sleeps between two attempts to bring a window to the front: the first,
// and the longest they grow to. A window that does not come at once is
// mostly one the system refuses for a while; asking often costs processor
// time and gains nothing.
inline constexpr DWORD kBringToFrontFirstPause = 5;
inline constexpr DWORD kBringToFrontLongestPause = 100;
// The most a delivery holds the host's thread waiting on the window system:
// bringing its window to the front and then letting its keystroke be read
// share this one budget.
inline constexpr DWORD kDeliveryWaitMilliseconds = 450;
// Tries in a row that failed (names unreadable, keys refused, the hidden
// conversation not coming to the front) before the road is given a rest:
// from then on it is tried once every kRestMilliseconds until it works, so
// that the user does not see the hidden conversation fetched every second.
inline constexpr int kFailedTriesBeforeRest = 3;
inline constexpr DWORD kRestMilliseconds = 30000;

class Delivery {
public:
    // Asks the messenger through that session, which outlives it.
    Delivery(Clock& clock, MessengerSession& messenger)
        : clock_(clock), messenger_(messenger), user_(clock) {}
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;

    // What the name should show now: it replaces the wish waiting, if any,
    // and goes out now when it can. It belongs to the user signed in now, or
    // last seen signed in.
    void want(composer::Wanted wanted);

    // The end of a tick: keys of ours the system left down are let go, and
    // the waiting wish goes out if it can now. One that was tried earlier in
    // this tick waits for the next, so that a conversation opened for it has
    // been listed by then.
    void sendWaiting();
    // Switched off: nothing waits any more. True when something did.
    bool dropWaiting();
    bool waiting() const { return waiting_.has_value(); }
    // The messenger has signed in, or the user is back in the session: a
    // road that failed may work now, and is tried at the next chance.
    void roadMayWorkAgain() { failedTries_ = 0; }
    // Whether a wish was dropped since the last call because another user
    // signed in.
    bool takeDropped() { return std::exchange(dropped_, false); }

private:
    struct Wish {
        composer::Wanted wanted = composer::Wanted::NowPlaying;
        std::wstring owner;         // the sign-in name it is for; empty while unknown
        bool triedThisTick = false; // by a want() earlier in this tick
    };
    enum class Outcome {
        Delivered,  // the keys went in with the command in the slot
        Settled,    // nothing to send: the name already says it
        NotNow,     // not now, and nothing was touched
        Failed,     // tried and failed: the road counts one failure more
        OnlyOpened, // the hidden conversation was opened, and gets keys next time
        Dropped,    // another user is signed in: not theirs
    };

    void tryNow(Wish wish);
    bool resting() const;
    Outcome attempt(Wish& wish);
    // What a try leaves: nothing, or the wish waiting once more.
    void settle(Wish wish, Outcome outcome);
    Outcome throughHiddenConversation(const Front& before);
    bool bringToFront(IMessengerConversationWnd* conversation);
    void handBackTheFront(HWND before, HWND focus, IMessengerConversationWnd* conversation);
    Outcome pressHotKey(const Front& front, DWORD start);

    Clock& clock_;
    MessengerSession& messenger_;
    UserActivity user_;
    OwnKeys keys_;
    std::optional<Wish> waiting_;
    // The hidden conversation this delivery opened last.
    ComPtr<IMessengerConversationWnd> opened_;
    std::wstring lastSignin_;
    int failedTries_ = 0;
    DWORD restUntil_ = 0;
    bool dropped_ = false;
};

} // namespace tc
