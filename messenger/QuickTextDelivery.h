#pragma once
// Gets a name command carried out by the chat add-on, the only way the
// plug-in has to change the display name: the command goes into quick-text
// slot 09, and the slot's hot key, Alt+0, is pressed in a conversation of
// this messenger, which then sends the slot and carries the command out.
//
// The delivery presses keys and takes the front only where and when that
// cannot hurt the user, and looks before it touches anything:
//   - one of this messenger's conversations is in front: the keys go there;
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
//   - the user is typing, moving the mouse, or holds a key or button
//     (UserActivity);
// In the last four cases nothing is asked of the window system and nothing
// is written; the command waits, and goes out at the first later tick at
// which it can.
#include "messenger/HiddenConversation.h"
#include "messenger/UserActivity.h"
#include "platform/Clock.h"

#include <optional>
#include <string>

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
// Tries whose keys the system refused before a command is given up. The
// session is checked first, so a refusal is the rare one that came in
// between; one that lasts must not have the hidden conversation fetched to
// the front every second.
inline constexpr int kMostRefusedTries = 3;

// What a try saw of the window system: the class name of the window found
// in front at its last look. Nothing when it did not look (no command,
// nobody signed in, nothing waiting, or a command held over to the next tick).
struct Look {
    std::optional<std::wstring> foregroundClass;
};

class QuickTextDelivery {
public:
    QuickTextDelivery(Clock& clock, MessengerSide& messenger)
        : clock_(clock), messenger_(messenger), user_(clock) {}
    QuickTextDelivery(const QuickTextDelivery&) = delete;
    QuickTextDelivery& operator=(const QuickTextDelivery&) = delete;

    // A new command: it replaces the one waiting, if any, and goes out now
    // when it can. It belongs to the user signed in now; with nobody signed
    // in it has nowhere to go and is dropped.
    Look send(const std::wstring& command);

    // The end of a tick: keys of ours the system left down are let go, and
    // the waiting command goes out if it can now. One that began waiting
    // during this tick waits for the next, so that a conversation opened for
    // it has been listed by then.
    Look sendWaiting();
    void dropWaiting() { waiting_.reset(); }
    bool hasWaiting() const { return waiting_.has_value(); }
    // Whether the user has left the keyboard and the mouse alone long enough
    // for keys to be pressed; what they did so far is seen first.
    bool keyboardFree() { return user_.keyboardFree(); }

private:
    struct Command {
        std::wstring text;
        std::wstring owner;         // the sign-in name whose slot it is for
        bool openedConversation = false;
        bool newThisTick = true;
        int keysRefused = 0;
    };
    // Done: delivered, or dropped for good.
    enum class Outcome { Done, NotNow, KeysRefused, OnlyOpened };
    struct Front {
        HWND window = nullptr;
        enum Kind { Nothing, OurConversation, Ours, AnotherProgram } kind = Nothing;
        bool mayBeUsed() const { return kind == OurConversation || kind == Ours; }
    };

    Outcome attempt(const Command& command, Look& look);
    // What a try leaves: nothing, or the command waiting once more.
    void settle(Command command, Outcome outcome);
    Front lookAtTheFront(Look& look);
    bool writeSlot(const std::wstring& owner, const std::wstring& text);
    Outcome throughHiddenConversation(HWND before);
    bool bringToFront(IMessengerConversationWnd* conversation);
    void handBackTheFront(HWND before, IMessengerConversationWnd* conversation);
    Outcome pressHotKey(DWORD start);

    Clock& clock_;
    MessengerSide& messenger_;
    UserActivity user_;
    std::optional<Command> waiting_;
};

} // namespace tc
