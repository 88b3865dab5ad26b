// The watcher's rules on their own: what counts as a player window, and what
// a title says about the player.
#include "player/PlayerWatcher.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tc::titleStoppedOrPaused;
using tc::titleTurnedFrom;

std::string printable(const std::wstring& w) {
    std::string out;
    for (wchar_t c : w) out += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
    return out;
}

// Handles are opaque values, never judged by their sign: one with its top
// bit set is as real as any. (Null is gone: the exit tests show that.)
TEST(PlayerLookup, AHandleWithItsTopBitSetIsAWindow) {
    for (const UINT_PTR handle : {0x80001234u, 0xFFFFFFFEu})
        EXPECT_TRUE(tc::playerWindowFound(reinterpret_cast<HWND>(handle))) << handle;
}

TEST(PlayerTitle, StoppedOrPausedJustBeforeTheLastCharacterInExactCase) {
    for (const std::wstring t : {L"3. A - B - Winamp [Stopped]", L"3. A - B - Winamp [Paused]",
                                 L"3. A - B - Winamp *Stopped*", L"xPaused\x01"})
        EXPECT_TRUE(titleStoppedOrPaused(t)) << printable(t);
    EXPECT_TRUE(titleStoppedOrPaused(std::wstring(65536, L'\x01') + L"Stopped\xD800"));
    // The last character is never part of the word, and the case is exact.
    for (const std::wstring t : {L"3. A - B - Winamp [Stopped", L"3. A - B - Winamp Stopped",
                                 L"3. A - B - Winamp [Stopped]]", L"3. A - B - Winamp [stopped]",
                                 L"3. A - B - Winamp [PAUSED]", L"3. A - B - Winamp"})
        EXPECT_FALSE(titleStoppedOrPaused(t)) << printable(t);
}

// Each test needs its word and one character after it: seven characters can
// be paused, only eight can be stopped, and anything shorter is neither.
TEST(PlayerTitle, ShortTitlesAreStoppedOrPausedOnlyWhenTheWordFits) {
    const std::wstring alphabet = {L'S', L't', L'o', L'p', L'e', L'd', L'P', L'a', L'u', L's',
                                   L'\x01', L'\xD800', L'\xFFFF', L' '};
    // Every title of up to four characters from the alphabet.
    std::wstring t;
    for (size_t len = 0, combos = 1; len <= 4; ++len, combos *= alphabet.size()) {
        for (size_t c = 0; c < combos; ++c) {
            t.clear();
            for (size_t i = 0, v = c; i < len; ++i, v /= alphabet.size())
                t += alphabet[v % alphabet.size()];
            ASSERT_FALSE(titleStoppedOrPaused(t)) << printable(t);
        }
    }
    for (const wchar_t* t : {L"aused!", L"Stopped", L"topped]", L"stopped]"})
        EXPECT_FALSE(titleStoppedOrPaused(t)) << printable(t);
    for (const wchar_t* t : {L"Paused!", L"Paused]", L"Stopped]"})
        EXPECT_TRUE(titleStoppedOrPaused(t)) << printable(t);
}

// The taskbar scrolls a title by any number of letters between two looks:
// each turn is the same song, and nothing else of its length is. The title
// repeats a part, so that a search that gives up too early would miss turns.
TEST(PlayerTitle, EveryTurnIsTheSameSongAndNoOtherOrderIs) {
    const std::wstring title = L"abab-c";
    for (size_t by = 0; by < title.size(); ++by)
        EXPECT_TRUE(titleTurnedFrom(title.substr(by) + title.substr(0, by), title)) << "by " << by;
    for (const std::wstring other : {L"abba-c", L"c-baba", L"abab-", L"abab-ca"})
        EXPECT_FALSE(titleTurnedFrom(other, title)) << printable(other);
}

} // namespace
