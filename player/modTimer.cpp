#include "player/modTimer.h"

#include "messenger/frmSendText.h"
#include "platform/Win32.h"
#include "settings/SettingsStore.h"

#include <vector>

namespace tc {

bool playerWindowFound(HWND window) { return window != nullptr; }

std::wstring_view frmWinampText1(std::wstring_view raw) {
    return raw.substr(0, raw.find(L'\0'));
}

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

void modTimer::winamp3() {
    HWND titleWindow = GetParent(win::findTopWindow(kWinamp3TitleClass));
    // A player too busy to tell its title has not changed it as far as we
    // know: nothing is compared, kept or sent this tick.
    const std::optional<std::wstring> text = win::windowTextExact(titleWindow);
    if (!text) return;
    if (*text == lastTitle3) return;
    const bool turned = titleTurnedFrom(*text, lastTitle3);
    lastTitle3 = *text;
    if (turned) return;
    frmSendText_.changeName();
    nameChanged3 = L"1";
}

void modTimer::winamp2() {
    HWND player = win::findTopWindow(kWinamp2Class);
    win::windowTextBuffer(player, kWinamp2Buffer, ' ', raw2_);
    const std::wstring& raw = raw2_;
    const std::wstring_view title = frmWinampText1(raw);
    const bool stoppedOrPaused = titleStoppedOrPaused(title);
    if (stoppedOrPaused && nameChanged2 == L"1") {
        nameChanged2 = L"0";
        frmSendText_.changeNameBack();
    }
    if (raw == lastTitle2) return;
    // A title scrolled in the taskbar is still the same song. The spaces
    // after the NUL do not turn with it, so the titles are compared.
    const bool turned = titleTurnedFrom(title, frmWinampText1(lastTitle2));
    lastTitle2 = raw;
    // A stopped or paused player is remembered, never shown as playing: the
    // plain name above is all that a stop or a pause sends.
    if (turned || stoppedOrPaused) return;
    frmSendText_.changeName();
    nameChanged2 = L"1";
}

void modTimer::pollWinamp() {
    if (readSetting(keys::onOff) != L"1") {
        // Switched off: nothing goes out, not even a wish still waiting. The
        // name it would have taken back is looked at again once switched on.
        if (frmSendText_.dropWaiting()) nameLeftSettled_ = false;
        return;
    }
    if (userCameBack()) {
        nameLeftSettled_ = false;
        frmSendText_.userIsBack();
    }
    if (frmSendText_.takeReasonToLookAgain()) nameLeftSettled_ = false;
    if (!nameLeftSettled_) putBackNameLeftPlaying();
    readAndRestore();
    frmSendText_.sendWaiting();
}

// The session's news arrive as window messages, between ticks. Listening
// starts at the first tick; when the system cannot take it yet, it is asked
// again now and then.
bool modTimer::userCameBack() {
    if (!session_.listening()) {
        if (ticksUntilListen_ > 0) {
            --ticksUntilListen_;
        } else if (!session_.listen()) {
            ticksUntilListen_ = kTicksBetweenListens;
        }
    }
    return session_.take();
}

// A now-playing name outlives what set it: the messenger closed while a song
// played, a command went out while the messenger was reconnecting and never
// reached the service, or a wish was dropped. With no player playing nothing
// would ever take it back: a stopped or paused player is only remembered.
// Only a name exactly as we composed it is ours to take back, which the
// delivery decides when it goes out; a wish already waiting is newer, and a
// player that plays takes its usual road instead.
void modTimer::putBackNameLeftPlaying() {
    nameLeftSettled_ = true;
    if (frmSendText_.commandWaits()) return;
    const HWND winamp2 = win::findTopWindow(kWinamp2Class);
    if (playerWindowFound(win::findTopWindow(kWinamp3Class)) ||
        (playerWindowFound(winamp2) &&
         !titleStoppedOrPaused(
             frmWinampText1(win::windowTextBuffer(winamp2, kWinamp2Buffer, ' ')))))
        return;
    frmSendText_.putBackNameLeftPlaying();
}

void modTimer::readAndRestore() {
    bool read2 = false, read3 = false;
    if (playerWindowFound(win::findTopWindow(kWinamp3Class))) {
        winamp3();
        read3 = true;
    } else if (playerWindowFound(win::findTopWindow(kWinamp2Class))) {
        winamp2();
        read2 = true;
    }

    // A player that has gone takes its last title with it: started again on
    // the same song, it shows that song. A player is looked up again only
    // for a name to restore, or for a title to forget when its reader has
    // not just found it (one that went during the read is forgotten at the
    // next tick), so that the idle tick makes no lookup more.
    const bool gone2 = (nameChanged2 == L"1" || (!read2 && !lastTitle2.empty())) &&
                       playerWindowGone(win::findTopWindow(kWinamp2Class));
    if (gone2) lastTitle2.clear();
    const bool gone3 = (nameChanged3 == L"1" || (!read3 && !lastTitle3.empty())) &&
                       playerWindowGone(win::findTopWindow(kWinamp3Class));
    if (gone3) lastTitle3.clear();

    // The plain name on account of a player that left would hide the song of
    // the other one, which plays on: only its flag is put down then.
    if (gone2 && nameChanged2 == L"1") {
        nameChanged2 = L"0";
        if (nameChanged3 != L"1") {
            frmSendText_.changeNameBack();
            return;
        }
    }
    if (gone3 && nameChanged3 == L"1") {
        nameChanged3 = L"0";
        if (nameChanged2 != L"1") frmSendText_.changeNameBack();
    }
}

} // namespace tc
