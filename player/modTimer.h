#pragma once
// The player watcher: once a second it reads the media player's window title
// and has the display name follow it.
#include "platform/SessionReturns.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tc {

class frmSendText;

inline constexpr const wchar_t* kWinamp3Class = L"studio";
inline constexpr const wchar_t* kWinamp3TitleClass = L"basewindow_rootwnd";
inline constexpr const wchar_t* kWinamp2Class = L"Winamp v1.x";
inline constexpr int kWinamp2Buffer = 2048;
inline constexpr UINT kTickMilliseconds = 1000;

class modTimer {
public:
    // The name changes go to that form, which outlives the watcher.
    explicit modTimer(frmSendText& form) : frmSendText_(form) {}
    modTimer(const modTimer&) = delete;
    modTimer& operator=(const modTimer&) = delete;

    // One tick: when switched on, read the newer player present, forget the
    // last title of a player that has gone and restore the plain name for
    // it, then send the name command still waiting from an earlier tick if
    // it can go now.
    void pollWinamp();
    void winamp2();
    void winamp3();

    // The player state, kept for the life of the process (a last title only
    // as long as its player); flags are the texts "1" and "0".
    std::wstring lastTitle2;
    std::wstring lastTitle3;
    std::wstring nameChanged2;
    std::wstring nameChanged3;

private:
    void readAndRestore();
    void putBackNameLeftPlaying();
    // Whether the user came back to the session (an unlock, a reconnect)
    // since the last tick.
    bool userCameBack();

    // Whether a now-playing name left with no player playing has been looked
    // for since start-up, or since the last sign-in or dropped wish.
    bool nameLeftSettled_ = false;
    win::SessionReturns session_;
    // Ticks before the session's news are asked for again, after a refusal.
    static constexpr int kTicksBetweenListens = 60;
    int ticksUntilListen_ = 0;
    // The Winamp 2.x raw text of this tick, read into the same storage every
    // tick: a tick that finds the title unchanged allocates nothing.
    std::wstring raw2_;

    frmSendText& frmSendText_;
};

// A window lookup counts as found for any non-null handle and as gone for a
// null one. Handles are opaque: one with its top bit set is a window too.
bool playerWindowFound(HWND window);
inline bool playerWindowGone(HWND window) { return !playerWindowFound(window); }

// Title of a Winamp 2.x window's raw text, as frmWinamp's Text1 keeps it:
// everything before the first NUL, looked at where it lies in `raw`.
std::wstring_view frmWinampText1(std::wstring_view raw);
// The title shows a stopped or paused player ("Stopped"/"Paused" just before
// the last character). A title too short to hold the word and one character
// after it is not: under eight characters is never stopped, under seven
// never paused.
bool titleStoppedOrPaused(std::wstring_view title);
// `now` is `before` turned: the same characters in the same round order,
// as a title scrolled in the taskbar shows them. A text is turned from
// itself; an empty one from nothing.
bool titleTurnedFrom(std::wstring_view now, std::wstring_view before);

} // namespace tc
