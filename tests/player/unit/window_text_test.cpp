// Player window titles read from windows that do not play fair: bytes the code
// page has no character for, control characters, 64 KB of text, and windows
// that lie about the length of their text.
#include "platform/Text.h"
#include "platform/Win32.h"
#include "player/PlayerWatcher.h"
#include "settings/SettingsStore.h"
#include "tests/support/Registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

// An ANSI window whose answer to WM_GETTEXTLENGTH the test may choose.
bool g_lie = false;
LRESULT g_claimedLength = 0;

LRESULT CALLBACK liarProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_GETTEXTLENGTH && g_lie) return g_claimedLength;
    return DefWindowProcA(w, msg, wp, lp);
}

class TitleWindow {
public:
    explicit TitleWindow(const char* className = "TcHostileTitle", HWND owner = nullptr,
                         DWORD style = WS_OVERLAPPEDWINDOW) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = liarProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        RegisterClassA(&wc);
        w_ = CreateWindowExA(0, className, "", style, 0, 0, 100, 50, owner, nullptr,
                             wc.hInstance, nullptr);
    }
    ~TitleWindow() {
        if (IsWindow(w_)) DestroyWindow(w_);
        g_lie = false;
    }
    HWND get() const { return w_; }
    void setBytes(const std::string& bytes) { SetWindowTextA(w_, bytes.c_str()); }

private:
    HWND w_ = nullptr;
};

bool singleByteCodePage() {
    CPINFO info = {};
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
}

std::string hostileBytes(size_t length) {
    std::string out;
    for (size_t i = 0; out.size() < length; ++i) out += static_cast<char>(1 + i % 255);
    return out;
}

} // namespace

TEST(HostileTitles, Winamp2BufferAlwaysComesBackWhole) {
    TitleWindow w;
    ASSERT_NE(w.get(), nullptr);
    const std::string samples[] = {
        "\x01\x02\t\r\n\x1b[31m\x7f\x08",        // control characters
        "\x81\x8d\x8f\x90\x9d\xff\xfe\xe0\xa0",  // no character, or half of one, in many code pages
        hostileBytes(255),                        // every byte value but NUL
        std::string(65536, 'x') + "Stopped]",    // 64 KB
    };
    for (const std::string& bytes : samples) {
        w.setBytes(bytes);
        const std::wstring raw = tc::win::windowTextBuffer(w.get(), tc::kWinamp2Buffer, ' ');
        const std::wstring title(tc::titleOf(raw));
        const std::string kept = bytes.substr(0, tc::kWinamp2Buffer - 1);
        if (singleByteCodePage()) {
            ASSERT_EQ(raw.size(), static_cast<size_t>(tc::kWinamp2Buffer));
            EXPECT_EQ(title, tc::fromAnsi(kept.data(), kept.size()));
            EXPECT_EQ(raw[title.size()], L'\0');
            EXPECT_EQ(raw.find_first_not_of(L' ', title.size() + 1), std::wstring::npos)
                << "spaces after the NUL, the same on every read";
        } else {
            EXPECT_FALSE(raw.empty());
            EXPECT_LE(title.size(), kept.size());
        }
        // Read twice, the same text gives the same raw text: no false change.
        EXPECT_EQ(tc::win::windowTextBuffer(w.get(), tc::kWinamp2Buffer, ' '), raw);
    }
}

TEST(HostileTitles, ExactReaderTakesAtMostSixtyFourKibiCharacters) {
    TitleWindow w;
    const std::string big = hostileBytes(tc::win::kLongestWindowText);
    w.setBytes(big);
    EXPECT_EQ(tc::win::windowTextExact(w.get()), tc::fromAnsi(big.data(), big.size()));
    // More than the bound: the first 64 Ki are read. (Claimed lengths beyond
    // it are the watcher's faults test.)
    w.setBytes(big + "and then some");
    if (singleByteCodePage()) {
        EXPECT_EQ(tc::win::windowTextExact(w.get()), tc::fromAnsi(big.data(), big.size()));
    }
}

TEST(HostileTitles, ExactReaderFillsOrCutsToTheReportedLength) {
    TitleWindow w;
    w.setBytes("abcdef");
    g_lie = true;
    g_claimedLength = 10;  // more than there is: filled up with NULs
    EXPECT_EQ(tc::win::windowTextExact(w.get()), std::wstring(L"abcdef\0\0\0\0", 10));
    g_claimedLength = 3;  // less: cut
    EXPECT_EQ(tc::win::windowTextExact(w.get()), L"abc");
    g_claimedLength = -7;  // nonsense: nothing
    EXPECT_EQ(tc::win::windowTextExact(w.get()), L"");
    g_lie = false;
    EXPECT_EQ(tc::win::windowTextExact(nullptr), L"") << "a window that has gone";
    // The fixed buffer of a window that has gone: whole, and the same every
    // time, so a vanished window is one change at most.
    const std::wstring gone = tc::win::windowTextBuffer(nullptr, tc::kWinamp2Buffer, ' ');
    if (singleByteCodePage()) {
        EXPECT_EQ(gone.size(), static_cast<size_t>(tc::kWinamp2Buffer));
    }
    EXPECT_EQ(tc::win::windowTextBuffer(nullptr, tc::kWinamp2Buffer, ' '), gone);
}

TEST(HostileText, ConversionsNeverFailAndKeepTheWholeBuffer) {
    // Every single byte, alone: something comes back for each.
    for (int b = 1; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        EXPECT_FALSE(tc::fromAnsi(&byte, 1).empty()) << b;
    }
    // A NUL inside a buffer and what follows it survive.
    const char buffer[] = {'a', 'b', 0, ' ', ' ', '\x81', '\xff'};
    const std::wstring back = tc::fromAnsi(buffer, sizeof buffer);
    ASSERT_GE(back.size(), 5u);
    EXPECT_EQ(back.substr(0, 5), std::wstring(L"ab\0  ", 5));
    // UTF-16 no code page can hold still converts, to something without NULs.
    const std::wstring odd = L"\xD800x\xDC00y\xFFFF\xFFFE\xD83D\xDE00";
    const std::string ansi = tc::toAnsi(odd);
    EXPECT_FALSE(ansi.empty());
    EXPECT_EQ(ansi.find('\0'), std::string::npos);
    // 64 KB both ways.
    const std::string big = hostileBytes(65536);
    const std::wstring wide = tc::fromAnsi(big.data(), big.size());
    if (singleByteCodePage()) {
        EXPECT_EQ(wide.size(), big.size());
        EXPECT_EQ(tc::toAnsi(wide).size(), big.size());
    }
    EXPECT_EQ(tc::fromAnsi(nullptr, 5), L"");
    EXPECT_EQ(tc::toAnsi(L""), "");
}

// Runs only under a double-byte code page: its own ctest entry
// (player.DoubleByteCodePage) starts this program under a Japanese locale.
TEST(HostileTitles, DISABLED_DoubleByteCodePageCutsAndStrayLeadBytes) {
    CPINFO info = {};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    ASSERT_GE(info.MaxCharSize, 2u) << "not run under a double-byte code page";
    ASSERT_NE(info.LeadByte[0], 0);
    const char lead = static_cast<char>(info.LeadByte[0]);
    TitleWindow w;
    // A lead byte with nothing after it, and one before a NUL-like byte.
    for (std::string bytes : {std::string(1, lead), std::string("abc") + lead,
                              std::string(2046, 'x') + lead + 'y' + lead + 'z'}) {
        w.setBytes(bytes);
        const std::wstring raw = tc::win::windowTextBuffer(w.get(), tc::kWinamp2Buffer, ' ');
        EXPECT_FALSE(raw.empty());
        EXPECT_LE(raw.size(), static_cast<size_t>(tc::kWinamp2Buffer));
        EXPECT_EQ(tc::win::windowTextBuffer(w.get(), tc::kWinamp2Buffer, ' '), raw);
        // What the system makes of a stray lead byte is its own; read twice,
        // the same title must give the same text, or it would count as a
        // change every second.
        const std::optional<std::wstring> exact = tc::win::windowTextExact(w.get());
        ASSERT_TRUE(exact);
        EXPECT_EQ(tc::win::windowTextExact(w.get()), exact);
        tc::titleStoppedOrPaused(tc::titleOf(raw));
    }
}

namespace {

// A player whose thread has stopped answering messages must not hold the
// host's thread; and since its title cannot be read, nothing is made of it:
// not an empty title now and a change back when it recovers.
TEST(HungPlayer, NoReadingNothingKeptAndTheThreadIsNotHeld) {
    const char* title = "12. Hung - Player - Winamp";
    // Set: the player stops answering until it is set again. Ends it.
    HANDLE hang = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hung = CreateEventW(nullptr, FALSE, FALSE, nullptr); // it reads no message now
    HWND titleWindow = nullptr;
    std::thread player([&] {
        // The second generation's shape: a main window, and a popup owned
        // by the window that carries the title.
        HWND main = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr);
        titleWindow = CreateWindowExA(0, "STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr,
                                      nullptr, nullptr, nullptr);
        TitleWindow studio("studio");
        TitleWindow popup("basewindow_rootwnd", titleWindow, WS_POPUP);
        SetEvent(ready);
        const HANDLE events[] = {hang, quit};
        for (;;) {
            const DWORD woke = MsgWaitForMultipleObjects(2, events, FALSE, INFINITE, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0) {
                SetEvent(hung);
                WaitForSingleObject(hang, INFINITE); // hung: no messages read
            }
            if (woke == WAIT_OBJECT_0 + 1) break;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
        DestroyWindow(titleWindow);
        DestroyWindow(main);
    });
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    ASSERT_NE(titleWindow, nullptr);

    tc::PlayerWatcher players;
    EXPECT_EQ(players.look(), tc::PlayerNews::NewSong);
    SetEvent(hang);
    ASSERT_EQ(WaitForSingleObject(hung, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(tc::win::windowTextExact(titleWindow), std::nullopt);
    const DWORD start = GetTickCount();
    EXPECT_EQ(players.look(), tc::PlayerNews::Nothing) << "a silent player has not stopped";
    EXPECT_LT(GetTickCount() - start, 10000u) << "hang guard: the look held the thread";
    SetEvent(hang); // answers again, with the same title
    EXPECT_EQ(players.look(), tc::PlayerNews::Nothing) << "the same song, not a new one";

    SetEvent(quit);
    player.join();
    CloseHandle(hang);
    CloseHandle(quit);
    CloseHandle(ready);
    CloseHandle(hung);
}

} // namespace
