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

    HWND mainWindow() const { return main_; }
    HWND titleWindow() const { return generation_ == 3 ? title_ : main_; }
    HWND popupWindow() const { return popup_; }

private:
    void apply();
    void destroyAll();

    int generation_;
    std::vector<std::wstring> playlist_;
    State state_ = State::Closed;
    int song_ = 1;
    HWND main_ = nullptr;
    HWND title_ = nullptr;
    HWND popup_ = nullptr;
};

} // namespace tc::sim
