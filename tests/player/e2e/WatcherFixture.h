#pragma once
// The real DLL, created through COM on this thread as a host does, with the
// messenger stand-in and hidden player windows of this same thread. The
// plug-in's timer ticks whenever the test pumps messages.
#include "sim/player/PlayerSim.h"
#include "tests/support/HostedPluginTest.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tc::test {

inline constexpr const wchar_t* kSettings = kSettingsKey;

// Thread-timer messages of the plug-in seen while pumping: the timer ids.
struct TimerCount {
    std::multiset<UINT_PTR> ticks;
    size_t distinctTimers() const { return std::set<UINT_PTR>(ticks.begin(), ticks.end()).size(); }
};

class WatcherTest : public HostedPluginTest {
protected:
    // Pumps for `ms`, noting every thread-timer message with a callback.
    // Nothing else in these processes makes such timers (Wine hands the
    // callback over as a handle of its own, so it cannot be traced to the
    // DLL).
    TimerCount countTimers(DWORD ms) {
        TimerCount c;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_TIMER && !msg.hwnd && msg.lParam) c.ticks.insert(msg.wParam);
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return c;
    }

};

} // namespace tc::test
