// The messenger misbehaving under the plug-in: not running yet, signed out,
// failing calls, conversations that vanish or never come to the front, a
// sign-in name the registry cannot take. In every case the plug-in keeps
// ticking, the next name change goes through once the fault is gone, and the
// user's data stays as it was.
#include "tests/support/FaultFixture.h"

#include <utility>

using tc::sim::PlayerSim;
using namespace tc::test;

namespace {

// A plain window of the test in front, so that no conversation is and the
// delivery takes the hidden conversation of its own.
HWND otherWindowInFront() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TcFaultFront";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400,
                             300, 200, 150, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(w);
    SetFocus(w);
    pump(50);
    return w;
}

std::vector<tc::sim::Conversation> debugConversations() {
    std::vector<tc::sim::Conversation> out;
    for (const auto& c : tc::sim::SimMessenger::instance().conversations())
        if (c.contact == L"Debug.Window") out.push_back(c);
    return out;
}

// A tick holds the thread for its delivery at most: the bring-to-front bound
// plus the wait for its own keys, with room for a slow machine.
constexpr DWORD kLongestTick = 2500;

} // namespace

TEST_F(FaultTest, MessengerStartedAfterThePluginIsPickedUpByALaterTick) {
    messenger().revokeClass();  // not running when the host creates the plug-in
    ASSERT_FALSE(messenger().isRegistered());
    auto plugin = createPlugin();
    ASSERT_TRUE(plugin);
    otherWindowInFront();

    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_LT(longestDispatch(2500), kLongestTick);
    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(messenger().connectedSinks(), 0u);

    // The messenger comes up. The next delivery connects to it, opens its
    // hidden conversation (no keys on that one) and the one after sends.
    ASSERT_EQ(messenger().registerClass(), S_OK);
    player.play(2);
    pump(2500);
    EXPECT_EQ(messenger().connectedSinks(), 1u);
    ASSERT_EQ(debugConversations().size(), 1u);
    EXPECT_FALSE(debugConversations()[0].visible);

    player.play(3);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    player.stop();
    EXPECT_EQ(expectSends(3, 4500), Sends({kPlain, kPlaying, kPlain}));
    EXPECT_EQ(messenger().connectedSinks(), 1u) << "connected once, not at every delivery";
    EXPECT_EQ(messenger().instantMessageCalls(), 1);
    expectUserDataKept();
}

TEST_F(FaultTest, SignedOutNothingIsWrittenOrPressedAndSigningInResumes) {
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_EQ(expectSends(1), Sends({kPlaying}));
    RawValue slotBefore, autoSendBefore;
    ASSERT_TRUE(readRaw(slotPath(kUser), L"Message", slotBefore));
    ASSERT_TRUE(readRaw(slotPath(kUser), L"AutoSend", autoSendBefore));

    messenger().setSignedIn(false);
    const int keysBefore = messenger().hotKeyCount();
    player.play(2);
    EXPECT_LT(longestDispatch(2500), kLongestTick);
    player.stop();
    EXPECT_LT(longestDispatch(2500), kLongestTick);
    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), keysBefore)
        << "without the sign-in name the slot is not written, so nothing may be sent from it";
    RawValue slotNow, autoSendNow;
    ASSERT_TRUE(readRaw(slotPath(kUser), L"Message", slotNow));
    ASSERT_TRUE(readRaw(slotPath(kUser), L"AutoSend", autoSendNow));
    EXPECT_TRUE(slotNow == slotBefore);
    EXPECT_TRUE(autoSendNow == autoSendBefore);

    messenger().setSignedIn(true);
    player.play(3);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    expectUserDataKept();
}

TEST_F(FaultTest, MessengerCallsFailingAtRandomNeitherCrashNorHangNorCorrupt) {
    auto plugin = createPlugin();
    otherWindowInFront();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    messenger().setFailureRate(0.2, 4242);

    DWORD longest = 0;
    for (int song = 1; song <= 8; ++song) {
        player.play(song);
        longest = std::max(longest, longestDispatch(1100));
        if (song % 3 == 0) {
            player.stop();
            longest = std::max(longest, longestDispatch(1100));
        }
    }
    EXPECT_LT(longest, kLongestTick);
    EXPECT_GT(messenger().injectedFailures(), 4) << "the faults must have been hit";
    // Whatever went through is a whole command, never a broken one.
    for (const std::wstring& text : newSends())
        EXPECT_TRUE(text == kPlaying || text == kPlain) << std::string(text.begin(), text.end());

    // The faults end: at most one delivery to open a fresh hidden
    // conversation, then the names go through again.
    messenger().setFailureRate(0.0);
    player.play(20);
    pump(1500);
    player.play(21);
    pump(1500);
    player.play(22);
    messenger().waitForSend(seen_, 2500);
    pump(300);
    Sends after = newSends();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), kPlaying);
    std::wstring slot;
    ASSERT_TRUE(readString(HKEY_CURRENT_USER, slotPath(kUser), L"Message", slot));
    EXPECT_EQ(slot, kPlaying);
    expectUserDataKept();
}

namespace {

// Closes a conversation from inside the plug-in's own delivery: when it is
// activated, or when the hot key reaches it.
HWND g_closeTarget = nullptr;
enum class CloseAt { Activation, HotKey } g_closeAt = CloseAt::Activation;
void PrintTo(CloseAt at, std::ostream* os) {
    *os << (at == CloseAt::Activation ? "on activation" : "when the keys arrive");
}
int g_closed = 0;

LRESULT CALLBACK closeOnActivate(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_closeAt == CloseAt::Activation && g_closeTarget &&
        reinterpret_cast<HWND>(wParam) == g_closeTarget) {
        HWND target = std::exchange(g_closeTarget, nullptr);
        tc::sim::SimMessenger::instance().closeConversation(target);
        ++g_closed;
        return 1;  // the window is gone: no activation
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK closeOnKey(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_closeAt == CloseAt::HotKey && g_closeTarget && wParam == '0' &&
        !(lParam & (1u << 31)) && GetFocus() == g_closeTarget) {
        HWND target = std::exchange(g_closeTarget, nullptr);
        tc::sim::SimMessenger::instance().closeConversation(target);
        ++g_closed;
        return 1;  // swallowed with its window
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

class ClosedMidDelivery : public FaultTest, public ::testing::WithParamInterface<CloseAt> {};

TEST_P(ClosedMidDelivery, TheNextDeliveriesOpenAFreshConversationAndGoThrough) {
    auto plugin = createPlugin();
    otherWindowInFront();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);  // opens the hidden conversation, sends nothing
    pump(1500);
    ASSERT_EQ(debugConversations().size(), 1u);

    HHOOK cbt = SetWindowsHookExW(WH_CBT, closeOnActivate, nullptr, GetCurrentThreadId());
    HHOOK keys = SetWindowsHookExW(WH_KEYBOARD, closeOnKey, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(cbt && keys);
    g_closeAt = GetParam();
    g_closed = 0;
    g_closeTarget = debugConversations()[0].window;
    otherWindowInFront();
    player.play(2);
    EXPECT_LT(longestDispatch(1500), kLongestTick);
    UnhookWindowsHookEx(cbt);
    UnhookWindowsHookEx(keys);
    EXPECT_EQ(g_closed, 1);
    EXPECT_TRUE(debugConversations().empty());

    // A new hidden conversation, then the name again.
    otherWindowInFront();
    player.play(3);
    pump(1500);
    ASSERT_EQ(debugConversations().size(), 1u);
    player.play(4);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    expectUserDataKept();
}

INSTANTIATE_TEST_SUITE_P(Fault, ClosedMidDelivery,
                         ::testing::Values(CloseAt::Activation, CloseAt::HotKey),
                         [](const auto& info) {
                             return info.param == CloseAt::Activation ? "WhenActivated"
                                                                      : "WhenTheKeysArrive";
                         });

TEST_F(FaultTest, AConversationThatNeverComesToTheFrontGetsNoKeysAndTheTickEnds) {
    auto plugin = createPlugin();
    otherWindowInFront();
    messenger().setNewWindowsRefuseForeground(true);
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);  // opens the hidden conversation, which will not stay in front
    pump(1500);
    ASSERT_EQ(debugConversations().size(), 1u);
    const HWND debug = debugConversations()[0].window;

    const int keysBefore = messenger().hotKeyCount();
    player.play(2);
    const DWORD longest = longestDispatch(2500);
    EXPECT_LT(longest, kLongestTick) << "the delivery gives up at its bound";
    player.play(3);
    EXPECT_LT(longestDispatch(1500), kLongestTick);
    EXPECT_EQ(messenger().hotKeyCount(), keysBefore) << "no keys for a window not in front";
    EXPECT_EQ(newSends(), Sends{});
    ASSERT_EQ(debugConversations().size(), 1u) << "the same conversation, not a new one each time";
    EXPECT_FALSE(IsWindowVisible(debug));

    // It comes to the front again: the next change goes through it.
    messenger().setRefuseForeground(debug, false);
    otherWindowInFront();
    player.play(4);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    expectUserDataKept();
}

TEST_F(FaultTest, SigninNameTooLongForARegistryKeyName) {
    const std::wstring longName = std::wstring(300, L'a') + L"@example.com";
    messenger().setSigninName(longName);
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_LT(longestDispatch(2500), kLongestTick);
    player.stop();
    EXPECT_LT(longestDispatch(2500), kLongestTick);
    EXPECT_EQ(newSends(), Sends{});
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, slotPath(longName)));
    // Nothing was made of a shortened name either.
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Venmoor\\Kestrix2", 0, KEY_READ, &root),
              ERROR_SUCCESS);
    DWORD subkeys = 0;
    RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(root);
    EXPECT_EQ(subkeys, 1u) << "only the user's own tree";

    messenger().setSigninName(kUser);
    player.play(2);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    expectUserDataKept();
}

class OddSigninName : public FaultTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(OddSigninName, SlotWritesStayInsideTheAddOnsTree) {
    messenger().setSigninName(GetParam());
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_LT(longestDispatch(2500), 2500u);
    player.close();
    EXPECT_LT(longestDispatch(2500), 2500u);
    newSends();
    expectUserDataKept();
    // The user's own slot 09 and everything outside the add-on's tree are
    // untouched.
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, slotPath(kUser)));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\Preferences"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\Venmoor\\Preferences"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\Dorvin's Tunecaster\\Data\\Preferences"));

    messenger().setSigninName(kUser);
    player.open();
    player.play(2);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
}

INSTANTIATE_TEST_SUITE_P(Fault, OddSigninName,
                         ::testing::Values(L"", L"..\\..\\..\\Dorvin's Tunecaster\\Data",
                                           L"\\..\\..", L"ann@example.com\\x",
                                           L"a\x263A\xD800@example.com"));
