#pragma once
// Stand-ins for the two media player generations, as the plug-in sees them:
// nothing but top-level windows of the right classes and their texts.
//
//   generation 2: one window of class "Winamp v1.x" whose text is the title.
//   generation 3: a main window of class "studio" (whose text is NOT the
//                 title), a window that carries the title, and a WS_POPUP
//                 window of class "basewindow_rootwnd" owned by that title
//                 window, so GetParent on the popup leads to the title.
//
// The windows belong to the thread that opens the player and are never shown
// unless asked, so they do not take the foreground from anyone. Open them on
// the thread that runs the plug-in's timer (or in another process): a window
// of another thread of the same process answers GetWindowText only while that
// thread dispatches messages.
#include <windows.h>

#include <string>
#include <vector>

namespace tc::sim {

class PlayerSim {
public:
    enum class State { Closed, Playing, Paused, Stopped };

    // generation: 2 or 3. The playlist holds "Artist - Title" entries; song n
    // (1-based) is shown as "n. Artist - Title - Winamp".
    explicit PlayerSim(int generation, std::vector<std::wstring> playlist = defaultPlaylist());
    ~PlayerSim();
    PlayerSim(const PlayerSim&) = delete;
    PlayerSim& operator=(const PlayerSim&) = delete;

    static std::vector<std::wstring> defaultPlaylist();

    int generation() const { return generation_; }

    // Creates the windows (stopped at song 1 unless a title is set later).
    // `show` makes them visible without activating them.
    bool open(bool show = false);
    void close();
    bool isOpen() const;

    // Sets the window text as given, whatever the player's state.
    void setTitle(const std::wstring& text);
    // The text the player shows now (empty when closed).
    std::wstring title() const;

    // Player actions; each one updates the title the way the player does.
    void play(int song);
    void pause();
    void resume();
    void stop();
    State state() const { return state_; }
    int song() const { return song_; }

    // Title text for song n in a state, without touching any window.
    std::wstring titleFor(int song, State state) const;

    // Scrolling, as the player can show its title in the taskbar: while a
    // song plays, the window text is its title and a separator, turned left
    // by kScrollChars characters every `everyMs` milliseconds (by a timer of
    // the title window, so while its thread dispatches messages), or only at
    // each scrollStep() when `everyMs` is 0. A paused or stopped player shows
    // its title still, and each new song starts unturned.
    static constexpr size_t kScrollChars = 3;
    static constexpr UINT kScrollEveryMs = 250;
    static constexpr const wchar_t* kScrollSeparator = L" *** ";
    void setScrolling(bool on, UINT everyMs = kScrollEveryMs);
    bool scrolling() const { return scrolling_; }
    // Turns the scrolling text once more (nothing unless a song plays).
    void scrollStep();

    HWND mainWindow() const { return main_; }
    HWND titleWindow() const { return generation_ == 3 ? title_ : main_; }
    HWND popupWindow() const { return popup_; }

private:
    void apply();
    void destroyAll();
    void startScrollTimer();
    static void CALLBACK onScrollTimer(HWND window, UINT, UINT_PTR, DWORD);

    int generation_;
    std::vector<std::wstring> playlist_;
    State state_ = State::Closed;
    int song_ = 1;
    bool scrolling_ = false;
    UINT scrollEveryMs_ = 0;
    std::wstring scrollText_; // the unturned text of the song that scrolls
    size_t scrolledBy_ = 0;
    HWND main_ = nullptr;
    HWND title_ = nullptr;
    HWND popup_ = nullptr;
};

} // namespace tc::sim
