// The name command delivered through quick text 09 and Alt+0, against the
// messenger and add-on stand-in.
#include "platform/Registry.h"
#include "platform/Win32.h"
#include "settings/QuickTextSlot.h"
#include "tests/messenger/unit/MessengerFixture.h"

namespace {

using tc::test::kSlot;
using tc::test::MessengerTest;

const std::wstring kPlaying = L"/name Ann listening: (!WAT)";
const std::wstring kPlain = L"/name Ann";
const std::wstring kDebug = L"Debug.Window";

class Delivery : public MessengerTest {
protected:
    void SetUp() override {
        MessengerTest::SetUp();
        currentNameMode();
        ASSERT_EQ(loadResult_, S_OK);
    }

    // A debug conversation opened earlier and hidden, as a delivery leaves it.
    HWND hiddenDebugConversation() {
        HWND d = sim().openConversation(kDebug);
        ShowWindow(d, SW_HIDE);
        return d;
    }
    static bool visible(HWND w) { return IsWindowVisible(w) != FALSE; }
    static int hotKeysOf(HWND w) {
        for (const tc::sim::Conversation& c : sim().conversations())
            if (c.window == w) return c.hotKeys;
        return -1;
    }
};

TEST_F(Delivery, ConversationInFrontGetsTheKeystrokeAndDebugIsLeftAlone) {
    HWND debug = hiddenDebugConversation();
    HWND user = sim().openConversation(L"bob@example.com");
    ASSERT_EQ(GetForegroundWindow(), user);

    form().changeName();
    EXPECT_EQ(form().Text2, kPlaying);
    EXPECT_EQ(form().Text3, L"IMWindowClass");
    EXPECT_EQ(slotMessage(), kPlaying);
    EXPECT_EQ(readDword(kSlot, L"AutoSend"), 1);
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    auto sent = sim().timeline();
    EXPECT_EQ(sent[0].window, user);
    EXPECT_EQ(sent[0].text, kPlaying);
    EXPECT_EQ(sim().friendlyName(), L"Ann listening: (!WAT)");

    form().changeNameBack();
    ASSERT_TRUE(sim().waitForSend(1, 3000));
    EXPECT_EQ(sim().timeline()[1].window, user);
    EXPECT_EQ(sim().friendlyName(), L"Ann");

    EXPECT_EQ(hotKeysOf(debug), 0);
    EXPECT_FALSE(visible(debug));
    EXPECT_EQ(sim().instantMessageCalls(), 0);
    EXPECT_EQ(GetForegroundWindow(), user);
}

TEST_F(Delivery, ClassNameInOtherLetterCaseIsNotAConversation) {
    // Window classes of another module may share a name up to letter case.
    HWND front = frontWindow(L"imwindowclass", GetModuleHandleW(L"ole32.dll"));
    ASSERT_EQ(GetForegroundWindow(), front);
    HWND debug = hiddenDebugConversation();
    SetForegroundWindow(front);

    form().changeName();
    EXPECT_EQ(form().Text3, L"imwindowclass");
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    EXPECT_EQ(sim().timeline()[0].window, debug);
    EXPECT_FALSE(visible(debug));
}

TEST_F(Delivery, FirstDeliveryOpensDebugHiddenAndLaterOnesSendThroughIt) {
    HWND front = frontWindow();

    form().changeName();
    auto debug = conversationsWith(kDebug);
    ASSERT_EQ(debug.size(), 1u);
    EXPECT_FALSE(visible(debug[0].window));
    EXPECT_EQ(form().oWindowList->Count(), 1);
    EXPECT_EQ(slotMessage(), kPlaying);
    EXPECT_EQ(readDword(kSlot, L"AutoSend"), 1);
    tc::test::pump(300);
    EXPECT_EQ(sim().hotKeyCount(), 0);
    EXPECT_EQ(sim().sendCount(), 0u);
    EXPECT_EQ(sim().friendlyName(), L"Ann");

    // The keys are read before the window is hidden: none go astray.
    SetForegroundWindow(front);
    form().changeName();
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    EXPECT_EQ(sim().timeline()[0].window, debug[0].window);
    EXPECT_EQ(sim().timeline()[0].text, kPlaying);
    EXPECT_FALSE(visible(debug[0].window));

    form().changeNameBack();
    ASSERT_TRUE(sim().waitForSend(1, 3000));
    EXPECT_EQ(sim().timeline()[1].window, debug[0].window);
    EXPECT_EQ(sim().friendlyName(), L"Ann");
    tc::test::pump(200);
    EXPECT_EQ(sim().hotKeyCount(), 2);
    EXPECT_EQ(sim().instantMessageCalls(), 1);
    EXPECT_EQ(conversationsWith(kDebug).size(), 1u);
}

// The debug conversation is hidden but was made the active window to take
// the keys: the window that was in front before gets the front, and the
// keyboard, back; the user's own conversation does not get it instead.
TEST_F(Delivery, TheFrontGoesBackToTheWindowThatHadItBefore) {
    HWND user = sim().openConversation(L"bob@example.com");
    HWND front = frontWindow();
    form().changeName(); // opens the debug conversation
    auto debug = conversationsWith(kDebug);
    ASSERT_EQ(debug.size(), 1u);
    EXPECT_EQ(GetForegroundWindow(), front);
    form().changeName(); // through it, now that it is listed
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    EXPECT_EQ(sim().timeline()[0].window, debug[0].window);
    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_EQ(GetFocus(), front);
    EXPECT_EQ(hotKeysOf(user), 0);

    // Nothing in front any more: the hidden conversation still gives the
    // front away.
    sim().closeConversation(user);
    DestroyWindow(front);
    ASSERT_NE(tc::win::className(GetForegroundWindow(), 250), L"IMWindowClass");
    form().changeNameBack();
    ASSERT_TRUE(sim().waitForSend(1, 3000));
    EXPECT_NE(GetForegroundWindow(), debug[0].window);
    EXPECT_NE(GetActiveWindow(), debug[0].window);
}

TEST_F(Delivery, KeysForTheDebugConversationNeverReachTheUsersConversation) {
    HWND debug = hiddenDebugConversation();
    HWND user = sim().openConversation(L"bob@example.com");
    frontWindow();
    for (int i = 0; i < 3; ++i) {
        if (i % 2) form().changeNameBack();
        else form().changeName();
        ASSERT_TRUE(sim().waitForSend(static_cast<size_t>(i), 3000)) << i;
        tc::test::pump(100);
    }
    for (const tc::sim::SentText& sent : sim().timeline()) EXPECT_EQ(sent.window, debug);
    EXPECT_EQ(hotKeysOf(user), 0);
    EXPECT_EQ(sim().sendCount(), 3u);
}

TEST_F(Delivery, FirstListedDebugConversationIsUsed) {
    HWND first = hiddenDebugConversation();
    HWND second = hiddenDebugConversation();
    frontWindow();
    form().changeName();
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    EXPECT_EQ(sim().timeline()[0].window, first);
    EXPECT_EQ(hotKeysOf(second), 0);
    EXPECT_FALSE(visible(second));
}

TEST_F(Delivery, ConversationWhoseContactCannotBeReadIsPassedOver) {
    HWND broken = hiddenDebugConversation();
    sim().setContactsFail(broken, true);
    sim().openConversation(L"carol@example.com");
    HWND good = hiddenDebugConversation();
    frontWindow();
    form().changeName();
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    EXPECT_EQ(sim().timeline()[0].window, good);
    EXPECT_EQ(hotKeysOf(broken), 0);
    EXPECT_EQ(sim().instantMessageCalls(), 0);
}

TEST_F(Delivery, AutoSendIsMadeNonZeroAndOtherwiseLeftAlone) {
    sim().openConversation(L"bob@example.com");
    struct Case {
        const wchar_t* what;
        std::function<void()> prepare;
        LONG expected;
    } cases[] = {
        {L"2 stays", [] { putSlot(L"old", 2); }, 2},
        {L"-1 stays", [] { putSlot(L"old", 0xFFFFFFFFu); }, -1},
        {L"0 becomes 1", [] { putSlot(L"old", 0); }, 1},
        {L"missing becomes 1", [] { tc::test::wipeUserState(); currentNameMode(); }, 1},
        {L"text '1' becomes DWORD 1",
         [] {
             putSlot(L"old", 0);
             HKEY key = nullptr;
             RegOpenKeyExW(HKEY_CURRENT_USER, kSlot.c_str(), 0, KEY_SET_VALUE, &key);
             RegSetValueExW(key, L"AutoSend", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"), 4);
             RegCloseKey(key);
         },
         1},
    };
    size_t sends = 0;
    for (const Case& c : cases) {
        c.prepare();
        form().changeName();
        DWORD type = 0;
        EXPECT_EQ(readDword(kSlot, L"AutoSend", &type), c.expected) << c.what;
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << c.what;
        EXPECT_EQ(slotMessage(), kPlaying) << c.what;
        EXPECT_TRUE(sim().waitForSend(sends++, 3000)) << c.what;
    }
}

// The wait for the front is bounded and sleeps between its attempts: a
// busy loop would ask thousands of times within the bound.
TEST_F(Delivery, WindowThatNeverComesToTheFrontGetsNoKeysAndTheCallReturns) {
    HWND debug = hiddenDebugConversation();
    sim().setRefuseForeground(debug, true);
    HWND front = frontWindow();
    const DWORD start = GetTickCount();
    form().changeName();
    EXPECT_LT(GetTickCount() - start, 3000u) << "hang guard";
    tc::test::pump(300);
    EXPECT_EQ(sim().hotKeyCount(), 0);
    EXPECT_EQ(sim().strayHotKeys(), 0);
    EXPECT_EQ(sim().sendCount(), 0u);
    EXPECT_FALSE(visible(debug));
    EXPECT_EQ(GetForegroundWindow(), front);
    for (const tc::sim::Conversation& c : sim().conversations())
        if (c.window == debug) {
            EXPECT_LT(c.activations, 50) << "attempts to bring it to the front";
        }

    // Opening a new one that refuses the front ends just as well.
    sim().closeConversation(debug);
    sim().setNewWindowsRefuseForeground(true);
    frontWindow();
    const DWORD again = GetTickCount();
    form().changeName();
    EXPECT_LT(GetTickCount() - again, 3000u) << "hang guard";
    auto opened = conversationsWith(kDebug);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_FALSE(visible(opened[0].window));
}

// The hot key sends whatever the slot holds: with no command of this
// delivery in it, that is an old text, maybe the user's own.
TEST_F(Delivery, NoKeyUnlessThisDeliveryWroteTheSlot) {
    sim().openConversation(L"bob@example.com");
    form().changeName();
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    putSlot(L"/name Someone else", 1);

    sim().setSignedIn(false);
    form().changeNameBack();
    EXPECT_EQ(form().Text2, kPlaying);  // the friendly name could not be read either
    sim().setSignedIn(true);
    // Sign-in names that cannot name the slot: the key cannot be made, or
    // would lead elsewhere in the registry.
    for (const std::wstring& name :
         {std::wstring(300, L'a') + L"@example.com", std::wstring(L"ann@example.com\0x", 17),
          std::wstring(L"..\\..\\Dorvin's Tunecaster"), std::wstring(L"..")}) {
        sim().setSigninName(name);
        form().changeNameBack();
    }
    // The user's own slot content cannot be saved first (a key the registry
    // keeps volatile takes no lasting copies).
    sim().setSigninName(L"ann@example.com");
    RegDeleteTreeW(HKEY_CURRENT_USER, tc::quickText::kSavedSlotsPath);
    tc::RegKey saved;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, tc::quickText::kSavedSlotsPath, 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, saved.put(), nullptr),
              ERROR_SUCCESS);
    form().changeNameBack();
    tc::test::pump(400);
    EXPECT_EQ(slotMessage(), L"/name Someone else");
    EXPECT_EQ(sim().hotKeyCount(), 1);
    EXPECT_EQ(sim().instantMessageCalls(), 0);
    tc::RegKey kestrix = tc::reg::open(HKEY_CURRENT_USER, L"Software\\Venmoor\\Kestrix2");
    EXPECT_EQ(tc::reg::subkeyNames(kestrix.get()), std::vector<std::wstring>{L"ann@example.com"});
}

TEST_F(Delivery, NothingComposedYetMeansNothingWrittenAndNoKeys) {
    ASSERT_EQ(tc::writeSetting(tc::keys::CurrentName, L"0"), S_OK);
    putSlot(L"/name Old", 0);
    sim().openConversation(L"bob@example.com");
    EXPECT_EQ(form().Text2, L"");
    form().changeName();
    form().changeNameBack();
    tc::test::pump(400);
    EXPECT_EQ(form().Text2, L"");
    EXPECT_EQ(slotMessage(), L"/name Old");
    EXPECT_EQ(readDword(kSlot, L"AutoSend"), 0);
    EXPECT_EQ(sim().hotKeyCount(), 0);
}

// A call that composed nothing has nothing new to say: it does not send the
// previous command again.
TEST_F(Delivery, ACallThatComposesNothingSendsNothing) {
    sim().openConversation(L"bob@example.com");
    form().changeName();
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    sim().setFriendlyName(L"");
    form().changeNameBack();
    ASSERT_EQ(tc::writeSetting(tc::keys::CurrentName, L"0"), S_OK);
    sim().setFriendlyName(L"Ann");
    form().changeNameBack();
    tc::test::pump(400);
    EXPECT_EQ(form().Text2, kPlaying);
    EXPECT_EQ(sim().hotKeyCount(), 1);
    EXPECT_EQ(sim().sendCount(), 1u);
}

// The slot's content before the plug-in first wrote it is kept, once, and
// the copy gives it back exactly.
TEST_F(Delivery, TheUsersOwnQuickTextIsKeptAndGivenBack) {
    putSlot(L"see you at 8", 0);
    sim().openConversation(L"bob@example.com");
    form().changeName();
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    form().changeNameBack();
    ASSERT_TRUE(sim().waitForSend(1, 3000));
    EXPECT_EQ(slotMessage(), kPlain);
    EXPECT_EQ(tc::quickText::giveBackAll(), S_OK);
    EXPECT_EQ(slotMessage(), L"see you at 8");
    EXPECT_EQ(readDword(kSlot, L"AutoSend"), 0);
    EXPECT_FALSE(tc::test::keyExists(HKEY_CURRENT_USER, tc::quickText::kSavedSlotsPath));
}

TEST_F(Delivery, NamesOutsideTheAnsiCodePageComeBackUnchanged) {
    sim().setSigninName(L"\u00e5sa\u2605@example.com");
    sim().setFriendlyName(L"Ann \u2605");
    sim().openConversation(L"bob@example.com");
    form().changeNameBack();
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    EXPECT_EQ(sim().timeline()[0].text, L"/name Ann \u2605");
    EXPECT_EQ(sim().friendlyName(), L"Ann \u2605");

    form().changeName();
    ASSERT_TRUE(sim().waitForSend(1, 3000));
    EXPECT_EQ(sim().friendlyName(), L"Ann \u2605 listening: (!WAT)");
    form().changeNameBack();
    ASSERT_TRUE(sim().waitForSend(2, 3000));
    EXPECT_EQ(sim().friendlyName(), L"Ann \u2605");
}

TEST_F(Delivery, RandomMessengerFailuresNeverHangOrEscape) {
    frontWindow();
    sim().setFailureRate(0.3, 7);
    for (int i = 0; i < 20; ++i) {
        const DWORD start = GetTickCount();
        if (i % 2) form().changeName();
        else form().changeNameBack();
        EXPECT_LT(GetTickCount() - start, 3000u) << i;
        tc::test::pump(20);
    }
    EXPECT_GT(sim().injectedFailures(), 0);
    sim().setFailureRate(0.0);
    // Whatever the failures left behind, deliveries work again.
    const size_t before = sim().sendCount();
    form().changeName();
    form().changeName();
    EXPECT_TRUE(sim().waitForSend(before, 3000));
}

class MessengerLate : public MessengerTest {
protected:
    MessengerLate() { messengerRunning_ = false; }
};

TEST_F(MessengerLate, DeliveryConnectsOnceTheMessengerIsThere) {
    currentNameMode();
    EXPECT_TRUE(FAILED(loadResult_));
    EXPECT_FALSE(form().oMessengerAPI);
    frontWindow();
    form().changeName();
    EXPECT_EQ(form().Text2, L"");

    ASSERT_EQ(sim().registerClass(), S_OK);
    form().changeName();
    EXPECT_EQ(form().Text2, kPlaying);
    EXPECT_EQ(sim().connectedSinks(), 1u);
    ASSERT_EQ(conversationsWith(kDebug).size(), 1u);
    EXPECT_EQ(form().oWindowList->Count(), 1);

    form().changeNameBack();
    ASSERT_TRUE(sim().waitForSend(0, 3000));
    EXPECT_EQ(sim().timeline()[0].text, kPlain);
    EXPECT_EQ(sim().connectedSinks(), 1u);
}

} // namespace
