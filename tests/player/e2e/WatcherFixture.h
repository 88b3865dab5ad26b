#pragma once
// The real DLL, created through COM on this thread as a host does, with the
// messenger stand-in and hidden player windows of this same thread. The
// plug-in's timer ticks whenever the test pumps messages.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"
#include "sim/common/Activation.h"
#include "sim/messenger/SimMessenger.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tc::test {

inline const std::wstring kPlaying = L"/name Ann listening: (!WAT)";
inline const std::wstring kPlain = L"/name Ann";

inline constexpr const wchar_t* kSettings = L"Software\\Dorvin's Tunecaster\\Data";

inline void putSetting(const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// Thread-timer messages of the plug-in seen while pumping: the timer ids.
struct TimerCount {
    std::multiset<UINT_PTR> ticks;
    size_t distinctTimers() const { return std::set<UINT_PTR>(ticks.begin(), ticks.end()).size(); }
};

class WatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        wipeUserState();
        putSetting(L"CurrentName", L"1");
        putSetting(L"CustomName", L"0");
        putSetting(L"CurrentTag", L"listening:");
        messenger().reset();
        messenger().setFriendlyName(L"Ann");
        if (registerMessenger_) {
            ASSERT_EQ(messenger().registerClass(), S_OK);
        }
        dll_ = LoadLibraryW(pluginDllPath().c_str());
        ASSERT_NE(dll_, nullptr);
        install_ = dllExport<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(dll_, "DllInstall");
        ASSERT_NE(install_, nullptr);
        ASSERT_EQ(install_(TRUE, L"user"), S_OK);
    }
    void TearDown() override {
        if (install_) install_(FALSE, L"user");
    }

    static sim::SimMessenger& messenger() { return sim::SimMessenger::instance(); }

    ComPtr<_PlayerPlugin> createPlugin() {
        ComPtr<_PlayerPlugin> p;
        EXPECT_EQ(sim::createFromRegistration(L"Tunecaster.PlayerPlugin", IID__PlayerPlugin,
                                              p.putVoid()),
                  S_OK);
        return p;
    }

    // Creates the plug-in and opens a conversation in front, where the name
    // commands go.
    ComPtr<_PlayerPlugin> startWatching() {
        ComPtr<_PlayerPlugin> p = createPlugin();
        conversation_ = messenger().openConversation(L"bob@example.com");
        return p;
    }

    // The texts the add-on sent since the last call.
    std::vector<std::wstring> newSends() {
        std::vector<std::wstring> out;
        auto all = messenger().timeline();
        for (size_t i = seen_; i < all.size(); ++i) out.push_back(all[i].text);
        seen_ = all.size();
        return out;
    }
    std::vector<sim::SentText> newEntries() {
        auto all = messenger().timeline();
        std::vector<sim::SentText> out(all.begin() + static_cast<long>(seen_), all.end());
        seen_ = all.size();
        return out;
    }

    // Pumps until `count` texts beyond those already taken have been sent,
    // then a little longer to catch extra ones, and returns them all.
    std::vector<std::wstring> expectSends(size_t count, DWORD ms = 3500) {
        messenger().waitForSend(seen_ + count - 1, ms);
        pump(300);
        return newSends();
    }
    // Pumps for `ms` and returns whatever was sent meanwhile (should be none).
    std::vector<std::wstring> quietFor(DWORD ms = 2500) {
        pump(ms);
        return newSends();
    }

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

    bool registerMessenger_ = true;
    HMODULE dll_ = nullptr;
    HRESULT(WINAPI* install_)(BOOL, LPCWSTR) = nullptr;
    HWND conversation_ = nullptr;
    size_t seen_ = 0;
};

using Sends = std::vector<std::wstring>;

} // namespace tc::test
