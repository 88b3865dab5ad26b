#pragma once
// A stand-in for the messenger and its chat add-on, living inside the
// calling process.
//
// The messenger: a COM class registered at run time under the messenger's
// CLSID, so that any CoCreateInstance of it made later in this process (also
// from inside the plug-in DLL) reaches it. Every instance shares one state:
// the user's friendly name and sign-in name, whether somebody is signed in,
// the open conversation windows and the connected event sinks. Conversation
// windows are real top-level windows of class "IMWindowClass" owned by the
// thread that opened them.
//
// A conversation has an input box (an edit control) that takes the focus
// when the window is activated; Enter sends the box's text as the user's
// message and empties it.
//
// The add-on: when a conversation receives Alt+0 (and no other modifier is
// held) it reads quick text 09 of the current sign-in name from the
// registry at that moment, puts it into the input box where the caret is
// and, with "AutoSend" non-zero, sends the whole box: a draft of the user's
// goes out with it. A sent text that starts with "/name " sets the friendly
// name to the rest; any other is a message to the contact. Every send of the
// add-on is kept in a timeline.
//
// Everything runs on the thread that registered the class (an STA thread).
// Windows, events and keys are handled when that thread pumps messages.
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tc::sim {

// One text the add-on sent into a conversation.
struct SentText {
    DWORD tick = 0;                 // GetTickCount() when the hot key was handled
    HWND window = nullptr;          // the conversation it went into
    std::wstring contact;           // that conversation's first contact
    std::wstring text;              // the whole box as sent: the quick text, and any draft
    std::wstring friendlyNameAfter; // the friendly name once the text was handled
};

// One open conversation window.
struct Conversation {
    HWND window = nullptr;
    std::wstring contact;
    bool visible = false;
    int hotKeys = 0;                // Alt+0 presses received, sent or not
    int activations = 0;            // times it was made the active window
    // What reached it from the keyboard, in order: each character typed,
    // "[Alt+0]" for each hot key, and "[Ctrl+Alt+0]" and the like for Alt+0
    // with another modifier held, which is not the hot key; "[menu]" when
    // the keys opened its menu (Alt pressed and let go alone); "[Enter]"
    // for Enter in the input box.
    std::wstring keys;
    std::wstring draft;                 // the input box's text now
    std::pair<int, int> selection;      // the input box's caret or selection now
    std::vector<std::wstring> messages; // what the user sent with Enter
};

class SimMessenger {
public:
    // The process-wide simulator. Created on first use, never destroyed.
    static SimMessenger& instance();

    // --- The COM class ------------------------------------------------------
    // CoRegisterClassObject under the messenger's CLSID (in-process and local
    // server, multiple use). Registering twice is harmless.
    HRESULT registerClass();
    // CoRevokeClassObject: later creations fail as if the messenger were not
    // running. Objects handed out before keep working.
    void revokeClass();
    bool isRegistered() const;
    // A new Messenger object (as IDispatch), the same a client would get.
    HRESULT createObject(IDispatch** out);

    // --- The user -----------------------------------------------------------
    void setFriendlyName(const std::wstring& name);
    std::wstring friendlyName() const;
    void setSigninName(const std::wstring& name);
    std::wstring signinName() const;
    // Signed out: MyFriendlyName, MySigninName and InstantMessage fail. A
    // change fires OnSignout, or OnSignin with S_OK, to every sink.
    void setSignedIn(bool signedIn);
    bool signedIn() const;

    // --- Conversations ------------------------------------------------------
    // Opens a conversation as the user would: shown, in front, with the
    // focus. Fires OnIMWindowCreated to every connected sink.
    HWND openConversation(const std::wstring& contact);
    // The messenger's main window, its contact list: shown, in front, with
    // the focus. A window of the messenger's that is no conversation.
    HWND showContactList();
    // Closes it: fires OnIMWindowDestroyed, then destroys the window.
    void closeConversation(HWND window);
    // Closes every conversation (with events).
    void closeAll();
    // The open conversations in the order they opened.
    std::vector<Conversation> conversations() const;
    // Puts text into the conversation's input box, the caret after it, as if
    // the user had typed it.
    void setDraft(HWND window, const std::wstring& text);
    // The automation object of an open conversation (IMessengerConversationWnd,
    // as IDispatch), with a new reference; null when unknown.
    IDispatch* windowObject(HWND window) const;
    // Conversations opened through InstantMessage so far.
    int instantMessageCalls() const;
    // Reads of MySigninName and MyFriendlyName so far, answered or not.
    int nameReads() const;

    // --- Events -------------------------------------------------------------
    size_t connectedSinks() const;
    // Fires OnIMWindowCreated again for an open conversation (a repeated event).
    void refireCreated(HWND window);
    // Fires an event with that dispid and no arguments to every sink; returns
    // the first failure a sink answered, or S_OK.
    HRESULT fireEvent(DISPID id);

    // --- What the add-on sent -----------------------------------------------
    std::vector<SentText> timeline() const;
    size_t sendCount() const;
    void clearTimeline();
    // Pumps this thread's messages until the timeline holds more than
    // `count` entries or `ms` have passed; true when it does.
    bool waitForSend(size_t count, DWORD ms);
    // Total Alt+0 presses received by any conversation (sent or not).
    int hotKeyCount() const;
    // Alt+0 presses that reached the window which takes the front from a
    // conversation refusing it (see setRefuseForeground): keys sent without
    // checking what was in front.
    int strayHotKeys() const;

    // --- Faults on demand ---------------------------------------------------
    // Contacts of that conversation fails.
    void setContactsFail(HWND window, bool fail);
    // HWND / hWnd of that conversation fails.
    void setHandleFails(HWND window, bool fail);
    // HWND / hWnd of that conversation reports `handle` instead of its own.
    void setReportedHandle(HWND window, LONG handle);
    // That conversation never stays in front: whenever it is activated,
    // another window is activated at once.
    void setRefuseForeground(HWND window, bool refuse);
    // Conversations opened from now on through InstantMessage refuse the
    // front as above.
    void setNewWindowsRefuseForeground(bool refuse);
    // Every call into the simulated objects fails with E_FAIL at this rate
    // (0 = never, 1 = always), drawn from a generator seeded with `seed`.
    void setFailureRate(double rate, unsigned seed = 1);
    // Calls failed on purpose so far by setFailureRate.
    int injectedFailures() const;
    // The next read of MyFriendlyName raises an access violation, as a
    // broken messenger's own code would, instead of answering; once.
    void faultOnNextFriendlyName();
    // MyFriendlyName fails while the rest answers, as while the messenger
    // signs in again after a network drop.
    void setFriendlyNameFails(bool fail);
    // The next event connection (Advise) runs `call` before it answers, as
    // the caller's thread handles messages while the real messenger, in
    // another process, works on the call; once.
    void duringNextAdvise(std::function<void()> call);

    // Back to a fresh state: every conversation closed (with events),
    // timeline cleared, faults off, default user "Ann" / "ann@example.com",
    // signed in. The class registration and the sinks stay.
    void reset();

    SimMessenger(const SimMessenger&) = delete;
    SimMessenger& operator=(const SimMessenger&) = delete;

private:
    SimMessenger() = default;
};

// The add-on's registry path of quick text 09 for a sign-in name, relative
// to HKEY_CURRENT_USER.
std::wstring quickTextPath(const std::wstring& signinName);

} // namespace tc::sim
