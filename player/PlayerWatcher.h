#pragma once
// The player watcher: reads the media player's window title and tells what
// it means for the display name: a new song, or the song over (stopped,
// paused, or the player gone). It says what changed and does nothing about
// it.
//
// The player generations are rows of one table: how each is found, how its
// title is read, and whether its title shows a stopped or paused player. A
// third generation is one row and one reader.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace tc {

// What one look at the players says of the display name.
enum class PlayerNews {
    Nothing,  // no change that the name should show
    NewSong,  // a new song plays: the name should show it
    SongOver, // the song whose name was shown stopped, paused or went away
};

struct PlayerGeneration {
    const wchar_t* name;        // as a user calls it
    const wchar_t* windowClass; // its main window, among the top-level windows
    // Reads the title into `text`: the whole text as read, which a change is
    // told by; the title is what stands before any NUL in it. The reader
    // makes its own lookups. False when the player did not answer in time:
    // nothing is compared or kept at this look.
    bool (*readTitle)(std::wstring& text);
    // Its title has "Stopped" or "Paused" just before its last character
    // while the player is stopped or paused.
    bool showsStoppedOrPaused;
};

// Winamp 2.x's title is read into a buffer of this many bytes, its NUL
// included: 2047 characters count.
inline constexpr int kWinamp2Buffer = 2048;

// The generations, newest first: when several run, the first found is read.
const std::vector<PlayerGeneration>& playerGenerations();

class PlayerWatcher {
public:
    PlayerWatcher();
    PlayerWatcher(const PlayerWatcher&) = delete;
    PlayerWatcher& operator=(const PlayerWatcher&) = delete;

    // One look: the newest player that runs is read; a player that has gone
    // takes its last title with it (started again on the same song, it shows
    // that song), and the song whose name it showed is over unless another
    // player shows one.
    PlayerNews look();

    // Whether a player plays now: one runs that cannot show a stop or a
    // pause, or one that can runs and shows neither. A fresh look at the
    // windows, not at what the last look kept.
    bool somePlayerPlays() const;

private:
    struct State {
        std::wstring lastTitle;     // as last read; empty once the player went
        bool nameShowsSong = false; // the name was set to a song on its account
        std::wstring text;          // read into the same storage at every look
    };
    PlayerNews read(const PlayerGeneration& generation, State& state);

    std::vector<State> states_; // one per generation, in the table's order
};

// The title of a text as read: everything before the first NUL, looked at
// where it lies.
std::wstring_view titleOf(std::wstring_view text);
// The title shows a stopped or paused player ("Stopped"/"Paused" just before
// the last character). A title too short to hold the word and one character
// after it is not: under eight characters is never stopped, under seven
// never paused.
bool titleStoppedOrPaused(std::wstring_view title);
// `now` is `before` turned: the same characters in the same round order,
// as a title scrolled in the taskbar shows them. A text is turned from
// itself; an empty one from nothing.
bool titleTurnedFrom(std::wstring_view now, std::wstring_view before);

// A window lookup counts as found for any non-null handle and as gone for a
// null one. Handles are opaque: one with its top bit set is a window too.
bool playerWindowFound(HWND window);
inline bool playerWindowGone(HWND window) { return !playerWindowFound(window); }

} // namespace tc
