#include "player/PlayerWatcher.h"

#include "platform/Win32.h"

#include <optional>
#include <utility>

namespace tc {
namespace {

// The players' main windows, among the top-level windows.
constexpr const wchar_t* kWinamp3Class = L"studio";
constexpr const wchar_t* kWinamp2Class = L"Winamp v1.x";

// Winamp 3: the title is the text of the parent of its first
// "basewindow_rootwnd" window, read at the length the window reports. A
// player too busy to tell its title has not changed it as far as we know.
bool readWinamp3(std::wstring& text) {
    const HWND titleWindow = GetParent(win::findTopWindow(L"basewindow_rootwnd"));
    std::optional<std::wstring> read = win::windowTextExact(titleWindow);
    if (!read) return false;
    text = std::move(*read);
    return true;
}

// Winamp 2.x: its main window's text in a buffer of 2048 spaces, the whole
// buffer as the text (the title, its NUL, the spaces after it, the same at
// every look).
bool readWinamp2(std::wstring& text) {
    win::windowTextBuffer(win::findTopWindow(kWinamp2Class), kWinamp2Buffer, ' ', text);
    return true;
}

} // namespace

const std::vector<PlayerGeneration>& playerGenerations() {
    static const std::vector<PlayerGeneration>& rows = *new std::vector<PlayerGeneration>{
        {L"Winamp 3", kWinamp3Class, readWinamp3, false},
        {L"Winamp 2.x", kWinamp2Class, readWinamp2, true},
    };
    return rows;
}

bool playerWindowFound(HWND window) { return window != nullptr; }

std::wstring_view titleOf(std::wstring_view text) { return text.substr(0, text.find(L'\0')); }

bool titleStoppedOrPaused(std::wstring_view title) {
    const size_t L = title.size();
    // Each test needs its characters before the last one to exist.
    const bool stopped = L >= 8 && title.substr(L - 8, 7) == L"Stopped";
    const bool paused = L >= 7 && title.substr(L - 7, 6) == L"Paused";
    return stopped || paused;
}

// Linear in the length whatever the text (a player may show 64 Ki
// characters): `now` is looked for in `before` + `before` with the
// Knuth-Morris-Pratt automaton rather than by a search that can go back.
bool titleTurnedFrom(std::wstring_view now, std::wstring_view before) {
    const size_t n = now.size();
    if (n == 0 || before.size() != n) return false;
    std::vector<size_t> border(n, 0);
    for (size_t i = 1, k = 0; i < n; ++i) {
        while (k > 0 && now[i] != now[k]) k = border[k - 1];
        if (now[i] == now[k]) ++k;
        border[i] = k;
    }
    // Every turn of `before` starts within its first n characters, so the
    // doubled text need not be built.
    for (size_t i = 0, k = 0; i < 2 * n - 1; ++i) {
        const wchar_t c = before[i % n];
        while (k > 0 && c != now[k]) k = border[k - 1];
        if (c == now[k]) ++k;
        if (k == n) return true;
    }
    return false;
}

PlayerWatcher::PlayerWatcher() : states_(playerGenerations().size()) {}

PlayerNews PlayerWatcher::read(const PlayerGeneration& generation, State& state) {
    if (!generation.readTitle(state.text)) return PlayerNews::Nothing;
    const std::wstring_view title = titleOf(state.text);
    const bool stoppedOrPaused = generation.showsStoppedOrPaused && titleStoppedOrPaused(title);
    PlayerNews news = PlayerNews::Nothing;
    if (stoppedOrPaused && state.nameShowsSong) {
        state.nameShowsSong = false;
        news = PlayerNews::SongOver;
    }
    if (state.text == state.lastTitle) return news;
    // A title scrolled in the taskbar is still the same song. What follows a
    // NUL does not turn with it, so the titles are compared.
    const bool turned = titleTurnedFrom(title, titleOf(state.lastTitle));
    state.lastTitle = state.text;
    // A stopped or paused player is remembered, never shown as playing: the
    // song over is all that a stop or a pause says.
    if (turned || stoppedOrPaused) return news;
    state.nameShowsSong = true;
    return PlayerNews::NewSong;
}

PlayerNews PlayerWatcher::look() {
    const std::vector<PlayerGeneration>& generations = playerGenerations();
    PlayerNews news = PlayerNews::Nothing;
    size_t read = generations.size();
    for (size_t i = 0; i < generations.size(); ++i) {
        if (playerWindowFound(win::findTopWindow(generations[i].windowClass))) {
            news = this->read(generations[i], states_[i]);
            read = i;
            break;
        }
    }
    // A player is looked up again only for a song to take back, or for a
    // title to forget when it was not just read (one that went during the
    // read is forgotten at the next look), so that the idle tick makes no
    // lookup more.
    bool songGone = false;
    for (size_t i = 0; i < generations.size(); ++i) {
        State& state = states_[i];
        if (!state.nameShowsSong && (i == read || state.lastTitle.empty())) continue;
        if (playerWindowFound(win::findTopWindow(generations[i].windowClass))) continue;
        state.lastTitle.clear();
        if (state.nameShowsSong) {
            state.nameShowsSong = false;
            songGone = true;
        }
    }
    // The plain name on account of a player that left would hide the song of
    // another one, which plays on.
    if (songGone) {
        bool anotherShowsSong = false;
        for (const State& state : states_) anotherShowsSong |= state.nameShowsSong;
        if (!anotherShowsSong) news = PlayerNews::SongOver;
    }
    return news;
}

bool PlayerWatcher::somePlayerPlays() const {
    std::wstring text;
    for (const PlayerGeneration& generation : playerGenerations()) {
        if (playerWindowGone(win::findTopWindow(generation.windowClass))) continue;
        if (!generation.showsStoppedOrPaused) return true;
        if (generation.readTitle(text) && !titleStoppedOrPaused(titleOf(text))) return true;
    }
    return false;
}

} // namespace tc
