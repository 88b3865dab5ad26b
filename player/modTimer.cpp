#include "player/modTimer.h"

#include "messenger/frmSendText.h"
#include "platform/Win32.h"
#include "settings/SettingsStore.h"

#include <new>

namespace tc {
namespace {

UINT_PTR g_timerId = 0;
bool g_inTick = false;

} // namespace

bool playerWindowFound(HWND window) { return window != nullptr; }

PlayerState& playerState() {
    static PlayerState* state = new PlayerState(); // lives as long as the process
    return *state;
}

std::wstring frmWinampText1(const std::wstring& raw) {
    return raw.substr(0, raw.find(L'\0'));
}

bool titleStoppedOrPaused(const std::wstring& title) {
    const size_t L = title.size();
    // Each test needs its characters before the last one to exist.
    const bool stopped = L >= 8 && title.compare(L - 8, 7, L"Stopped") == 0;
    const bool paused = L >= 7 && title.compare(L - 7, 6, L"Paused") == 0;
    return stopped || paused;
}

void winamp3() {
    HWND titleWindow = GetParent(win::findTopWindow(kWinamp3TitleClass));
    // A player too busy to tell its title has not changed it as far as we
    // know: nothing is compared, kept or sent this tick.
    const std::optional<std::wstring> text = win::windowTextExact(titleWindow);
    if (!text) return;
    PlayerState& st = playerState();
    if (*text == st.lastTitle3) return;
    st.lastTitle3 = *text;
    frmSendText::get().changeName();
    st.nameChanged3 = L"1";
}

void winamp2() {
    HWND player = win::findTopWindow(kWinamp2Class);
    std::wstring raw = win::windowTextBuffer(player, kWinamp2Buffer, ' ');
    std::wstring title = frmWinampText1(raw);
    PlayerState& st = playerState();
    if (titleStoppedOrPaused(title) && st.nameChanged2 == L"1") {
        st.nameChanged2 = L"0";
        frmSendText::get().changeNameBack();
    }
    if (raw == st.lastTitle2) return;
    st.lastTitle2 = raw;
    frmSendText::get().changeName();
    st.nameChanged2 = L"1";
}

namespace {

void tick() {
    if (readSetting(keys::onOff) != L"1") return;

    if (playerWindowFound(win::findTopWindow(kWinamp3Class))) winamp3();
    else if (playerWindowFound(win::findTopWindow(kWinamp2Class))) winamp2();

    PlayerState& st = playerState();
    if (st.nameChanged2 == L"1" && playerWindowGone(win::findTopWindow(kWinamp2Class))) {
        st.nameChanged2 = L"0";
        frmSendText::get().changeNameBack();
        return;
    }
    if (st.nameChanged3 == L"1" && playerWindowGone(win::findTopWindow(kWinamp3Class))) {
        st.nameChanged3 = L"0";
        frmSendText::get().changeNameBack();
    }
}

} // namespace

void CALLBACK pollWinamp(HWND, UINT, UINT_PTR, DWORD) {
    // A delivery may wait on the messenger; should that ever let a timer
    // message through, the nested tick is dropped rather than interleaved.
    if (g_inTick) return;
    g_inTick = true;
    struct Leave { ~Leave() { g_inTick = false; } } leave;
    // Nothing may unwind into the message loop that called us (the host's):
    // a failure ends this tick only, and the next tick starts afresh.
    try {
        tick();
    } catch (...) {
    }
}

void startTimer() {
    if (g_timerId != 0) return;
    g_timerId = SetTimer(nullptr, 0, kTickMilliseconds, pollWinamp);
}

UINT_PTR timerId() { return g_timerId; }

HRESULT startUp() {
    // Called from the class factory: a failure comes back as an error and
    // never unwinds through COM into the host.
    try {
        if (readSetting(keys::onOff).empty()) {
            HRESULT hr = writeSetting(keys::onOff, L"1");
            if (FAILED(hr)) return hr;
        }
        startTimer();
        HRESULT hr = createWindowCollection();
        if (FAILED(hr)) return hr;
        return frmSendText::get().loadResult();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace tc
