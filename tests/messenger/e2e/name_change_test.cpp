// The real plug-in DLL, created through COM as the host creates it, changes
// the display name in the messenger stand-in when the player's title changes.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"
#include "sim/common/Activation.h"
#include "sim/messenger/SimMessenger.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring kPlaying = L"/name Ann listening: (!WAT)";
const std::wstring kPlain = L"/name Ann";
const std::wstring kDebug = L"Debug.Window";
const DWORD kTicks = 6000;  // a few of the watcher's one-second ticks

void putSetting(const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Dorvin's Tunecaster\\Data", 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

class NameChange : public ::testing::Test {
protected:
    void SetUp() override {
        tc::test::wipeUserState();
        putSetting(L"CurrentName", L"1");
        putSetting(L"CurrentTag", L"listening:");
        sim().reset();
        HMODULE dll = LoadLibraryW(tc::test::pluginDllPath().c_str());
        ASSERT_NE(dll, nullptr);
        install_ = tc::test::dllExport<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(dll, "DllInstall");
        ASSERT_NE(install_, nullptr);
        ASSERT_EQ(install_(TRUE, L"user"), S_OK);
    }
    void TearDown() override {
        if (player_) DestroyWindow(player_);
        if (install_) install_(FALSE, L"user");
    }

    static tc::sim::SimMessenger& sim() { return tc::sim::SimMessenger::instance(); }

    void createPlugin() {
        ASSERT_EQ(tc::sim::createFromRegistration(L"Tunecaster.PlayerPlugin", IID__PlayerPlugin,
                                                  plugin_.putVoid()),
                  S_OK);
    }
    // The player's main window, hidden so that it never takes the front.
    void playerTitle(const std::wstring& title) {
        if (!player_) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"Winamp v1.x";
            RegisterClassW(&wc);
            player_ = CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                                      100, 100, nullptr, nullptr, wc.hInstance, nullptr);
            ASSERT_NE(player_, nullptr);
        } else {
            SetWindowTextW(player_, title.c_str());
        }
    }
    void closePlayer() {
        DestroyWindow(player_);
        player_ = nullptr;
    }
    static std::vector<tc::sim::Conversation> debugConversations() {
        std::vector<tc::sim::Conversation> out;
        for (const tc::sim::Conversation& c : sim().conversations())
            if (c.contact == kDebug) out.push_back(c);
        return out;
    }

    HRESULT(WINAPI* install_)(BOOL, LPCWSTR) = nullptr;
    tc::ComPtr<_PlayerPlugin> plugin_;
    HWND player_ = nullptr;
};

TEST_F(NameChange, SongAndPlayerExitReachTheConversationInFront) {
    ASSERT_EQ(sim().registerClass(), S_OK);
    createPlugin();
    HWND user = sim().openConversation(L"bob@example.com");

    playerTitle(L"1. Some Artist - Some Song - Winamp");
    ASSERT_TRUE(sim().waitForSend(0, kTicks));
    EXPECT_EQ(sim().timeline()[0].window, user);
    EXPECT_EQ(sim().timeline()[0].text, kPlaying);
    EXPECT_EQ(sim().friendlyName(), L"Ann listening: (!WAT)");

    closePlayer();
    ASSERT_TRUE(sim().waitForSend(1, kTicks));
    EXPECT_EQ(sim().timeline()[1].text, kPlain);
    EXPECT_EQ(sim().friendlyName(), L"Ann");
    EXPECT_TRUE(debugConversations().empty());
}

TEST_F(NameChange, HiddenDebugConversationCarriesTheCommandAndIsReopenedWhenClosed) {
    ASSERT_EQ(sim().registerClass(), S_OK);
    createPlugin();

    // First song: the debug conversation is opened and hidden, nothing sent.
    playerTitle(L"1. First - Winamp");
    ASSERT_TRUE(tc::test::pumpUntil([] { return !debugConversations().empty(); }, kTicks));
    tc::test::pump(300);
    auto debug = debugConversations();
    ASSERT_EQ(debug.size(), 1u);
    EXPECT_FALSE(debug[0].visible);
    EXPECT_EQ(sim().sendCount(), 0u);

    playerTitle(L"2. Second - Winamp");
    ASSERT_TRUE(sim().waitForSend(0, kTicks));
    EXPECT_EQ(sim().timeline()[0].window, debug[0].window);
    EXPECT_EQ(sim().timeline()[0].text, kPlaying);
    EXPECT_FALSE(IsWindowVisible(debug[0].window));

    // The messenger closes it: the plug-in hears of it and opens a new one.
    sim().closeConversation(debug[0].window);
    playerTitle(L"3. Third - Winamp");
    ASSERT_TRUE(tc::test::pumpUntil([] { return sim().instantMessageCalls() == 2; }, kTicks));
    playerTitle(L"4. Fourth - Winamp");
    ASSERT_TRUE(sim().waitForSend(1, kTicks));
    auto reopened = debugConversations();
    ASSERT_EQ(reopened.size(), 1u);
    EXPECT_EQ(sim().timeline()[1].window, reopened[0].window);
    EXPECT_EQ(sim().hotKeyCount(), 2);
}

TEST_F(NameChange, MessengerStartedAfterThePlugInIsConnectedLater) {
    createPlugin();  // the messenger is not running yet
    EXPECT_EQ(sim().connectedSinks(), 0u);
    playerTitle(L"1. Early - Winamp");
    tc::test::pump(1500);
    EXPECT_EQ(sim().instantMessageCalls(), 0);

    ASSERT_EQ(sim().registerClass(), S_OK);
    playerTitle(L"2. Later - Winamp");
    ASSERT_TRUE(tc::test::pumpUntil([] { return sim().instantMessageCalls() == 1; }, kTicks));
    EXPECT_EQ(sim().connectedSinks(), 1u);
    playerTitle(L"3. Latest - Winamp");
    ASSERT_TRUE(sim().waitForSend(0, kTicks));
    EXPECT_EQ(sim().timeline()[0].text, kPlaying);
    EXPECT_EQ(sim().friendlyName(), L"Ann listening: (!WAT)");
}

} // namespace
