#pragma once
// Gets a name command carried out by the chat add-on, the only way the
// plug-in has to change the display name: the command goes into quick-text
// slot 09, and the slot's hot key, Alt+0, is pressed in a conversation of
// this messenger, which then sends the slot and carries the command out.
//
// What waits is what the name should show (the song, or the plain name), not
// a text: the command is composed when it goes out, from the name as it
// stands then, so that a name the user set meanwhile is built on and never
// undone. Only a newer wish, the switch turned off, or another user signing
// in ends a wish that has not gone out; every other failure keeps it waiting,
// and a road that keeps failing is tried again only now and then.
//
// The delivery presses keys and takes the front only where and when that
// cannot hurt the user, and looks before it touches anything:
//   - one of this messenger's conversations is in front, its input box empty:
//     the keys go there;
//   - one with a draft in its box: the keys go to the hidden conversation, as
//     below, and the user's conversation gets the front and its focus back
//     with the draft as it was;
//   - a window of this process, or the desktop, is in front: the keys go to
//     the hidden conversation, brought to the front for the moment they
//     take, and the front is handed back afterwards;
//   - another program is in front (another messenger's conversation too):
//     Windows lets a process take the front only while it is its own or
//     nobody's, and the keys would go to that program;
//   - no window is in front: the workstation is locked, a secure desktop is
//     up, or one window is losing the front to another;
//   - the desktop that takes input is not ours (locked, disconnected, another
//     user's session): the system refuses the front and keys;
//   - the user is typing, moving the mouse, holds a key or button, or an
//     input method composes (UserActivity);
// In the last four cases nothing is asked of the window system and nothing
// is written; the wish waits, and goes out at the first later tick at which
// it can.
#include "messenger/HiddenConversation.h"
#include "messenger/NameComposer.h"
#include "messenger/UserActivity.h"
#include "platform/Clock.h"

#include <optional>
#include <string>
#include <utility>

namespace tc {

inline constexpr const wchar_t* kConversationClass = L"IMWindowClass";
inline constexpr int kClassNameLimit = 250;
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

// What a try saw and did. Nothing where it did not get that far.
struct Look {
    // The class name of the window found in front at its last look.
    std::optional<std::wstring> foregroundClass;
    // The command it composed.
    std::optional<std::wstring> command;
};

class QuickTextDelivery {
public:
    QuickTextDelivery(Clock& clock, MessengerSide& messenger)
        : clock_(clock), messenger_(messenger), user_(clock) {}
    QuickTextDelivery(const QuickTextDelivery&) = delete;
    QuickTextDelivery& operator=(const QuickTextDelivery&) = delete;

    // What the name should show now: it replaces the wish waiting, if any,
    // and goes out now when it can. It belongs to the user signed in now, or
    // last seen signed in.
    Look want(composer::Wanted wanted);

    // The end of a tick: keys of ours the system left down are let go, and
    // the waiting wish goes out if it can now. One that was tried earlier in
    // this tick waits for the next, so that a conversation opened for it has
    // been listed by then.
    Look sendWaiting();
    // Switched off: nothing waits any more. True when something did.
    bool dropWaiting();
    bool hasWaiting() const { return waiting_.has_value(); }
    // The messenger has signed in, or the user is back in the session: a
    // road that failed may work now, and is tried at the next chance.
    void roadMayWorkAgain() { failedTries_ = 0; }
    // Whether a wish was dropped since the last call because another user
    // signed in.
    bool takeDropped() { return std::exchange(dropped_, false); }
    // Whether the user has left the keyboard and the mouse alone long enough
    // for keys to be pressed; what they did so far is seen first.
    bool keyboardFree() { return user_.keyboardFree(); }

private:
    struct Wish {
        composer::Wanted wanted = composer::Wanted::NowPlaying;
        std::wstring owner; // the sign-in name it is for; empty while unknown
        bool triedThisTick = false; // by a want() earlier in this tick
    };
    enum class Outcome {
        Delivered, // the keys went in with the command in the slot
        Settled,   // nothing to send: the name already says it
        NotNow,    // not now, and nothing was touched
        Failed,    // tried and failed: the road counts one failure more
        OnlyOpened,// the hidden conversation was opened, and gets keys next time
        Dropped,   // another user is signed in: not theirs
    };
    struct Front {
        HWND window = nullptr;
        enum Kind { Nothing, OurConversation, Ours, AnotherProgram } kind = Nothing;
        bool mayBeUsed() const { return kind == OurConversation || kind == Ours; }
    };

    Look tryNow(Wish wish);
    bool resting() const;
    Outcome attempt(Wish& wish, Look& look);
    // What a try leaves: nothing, or the wish waiting once more.
    void settle(Wish wish, Outcome outcome);
    Front lookAtTheFront(Look& look);
    bool writeSlot(const std::wstring& owner, const std::wstring& text);
    static bool holdsDraft(HWND conversation);
    static bool emptyBoxesOf(IMessengerConversationWnd* conversation);
    Outcome throughHiddenConversation(HWND before);
    bool bringToFront(IMessengerConversationWnd* conversation);
    void handBackTheFront(HWND before, HWND focus, IMessengerConversationWnd* conversation);
    Outcome pressHotKey(DWORD start);

    Clock& clock_;
    MessengerSide& messenger_;
    UserActivity user_;
    std::optional<Wish> waiting_;
    // The hidden conversation this delivery opened last.
    ComPtr<IMessengerConversationWnd> opened_;
    std::wstring lastSignin_;
    int failedTries_ = 0;
    DWORD restUntil_ = 0;
    bool dropped_ = false;
};

} // namespace tc
