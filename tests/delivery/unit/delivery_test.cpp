// The name command delivered through quick text 09 and Alt+0: which
// conversation gets the keys, what the slot holds, and what is left working
// when the messenger misbehaves. The form is the background work's own; its
// waits read the test's clock, so a bound of 300 ms takes no real time.
#include "platform/Registry.h"
#include "platform/Win32.h"
#include "sim/common/ImportHook.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

#include <functional>
#include <memory>
#include <utility>

namespace tc::test {
namespace {

const std::wstring kUser = L"ann@example.com";
const std::wstring kDebug = L"Debug.Window";
const std::wstring kKestrix = kAddOnRoot;
const std::wstring kPreferences = preferencesOf(kUser);

reg::RawValue dword(DWORD value) { return rawOf(REG_DWORD, &value, sizeof value); }

std::vector<std::wstring> subkeysOf(const std::wstring& path) {
    RegKey key;
    std::vector<std::wstring> names;
    if (reg::open(HKEY_CURRENT_USER, path, KEY_READ, key) == ERROR_SUCCESS)
        reg::subkeyNames(key.get(), names);
    return names;
}

class Delivery : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        ASSERT_EQ(messenger().connectedSinks(), 1u) << "connected at start-up";
    }

    static std::wstring slotMessage() {
        std::wstring text;
        return (reg::getString(HKEY_CURRENT_USER, slotOf(kUser), L"Message", text) == ERROR_SUCCESS)
                   ? text
                   : L"<missing>";
    }
    static std::optional<reg::RawValue> autoSend() { return readRaw(slotOf(kUser), L"AutoSend"); }
    static void putSlot(const std::wstring& message, DWORD send) {
        ASSERT_TRUE(slotValues::writeString(HKEY_CURRENT_USER, slotOf(kUser), L"Message", message));
        ASSERT_TRUE(writeRaw(slotOf(kUser), L"AutoSend", dword(send)));
    }

    // A debug conversation opened earlier and hidden, as a delivery leaves it.
    static HWND hiddenDebugConversation() {
        HWND d = messenger().openConversation(kDebug);
        ShowWindow(d, SW_HIDE);
        return d;
    }
    static std::vector<sim::Conversation> debugConversations() {
        std::vector<sim::Conversation> out;
        for (const sim::Conversation& c : messenger().conversations())
            if (c.contact == kDebug) out.push_back(c);
        return out;
    }
    // What the add-on sent since the last look, and into which window.
    using Sent = std::vector<std::pair<HWND, std::wstring>>;
    Sent sentTo() {
        Sent out;
        for (const sim::SentText& s : newEntries()) out.emplace_back(s.window, s.text);
        return out;
    }
    static sim::Conversation conversation(HWND w) {
        for (const sim::Conversation& c : messenger().conversations())
            if (c.window == w) return c;
        return {};
    }

    // One delivery: its waits keep within their budget on the test's
    // clock, and a bound far above that on the real one only catches a hang.
    void deliver(bool nowPlaying = true) {
        const DWORD start = GetTickCount(), waited = clock().now();
        if (nowPlaying) wantSong();
        else wantPlain();
        EXPECT_LE(clock().now() - waited, kDeliveryWaitMilliseconds);
        EXPECT_LT(GetTickCount() - start, 3000u) << "hang guard";
    }

    // The add-on's own values beside the slot, which no delivery may touch.
    static void putNeighbours() {
        ASSERT_TRUE(slotValues::writeString(
            HKEY_CURRENT_USER, kPreferences + L"\\QuickTexts\\QuickText01", L"Message", L"brb"));
        ASSERT_TRUE(slotValues::writeString(HKEY_CURRENT_USER, kPreferences, L"Theme", L"dark"));
    }
    static void expectNeighboursKept() {
        std::wstring text, theme;
        reg::getString(HKEY_CURRENT_USER, kPreferences + L"\\QuickTexts\\QuickText01", L"Message",
                       text);
        reg::getString(HKEY_CURRENT_USER, kPreferences, L"Theme", theme);
        EXPECT_EQ(text, L"brb");
        EXPECT_EQ(theme, L"dark");
    }
};

TEST_F(Delivery, ConversationInFrontGetsTheKeystrokeAndDebugIsLeftAlone) {
    HWND debug = hiddenDebugConversation();
    HWND user = messenger().openConversation(L"bob@example.com");
    ASSERT_EQ(GetForegroundWindow(), user);

    deliver();
    EXPECT_EQ(slotMessage(), kPlaying);
    EXPECT_EQ(autoSend(), dword(1));
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");
    wantPlain();
    EXPECT_EQ(sentTo(), Sent({{user, kPlaying}, {user, kPlain}}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
    EXPECT_EQ(conversation(debug).hotKeys, 0);
    EXPECT_FALSE(IsWindowVisible(debug));
    EXPECT_EQ(messenger().instantMessageCalls(), 0);
    EXPECT_EQ(GetForegroundWindow(), user);
}

// With no window active, Wine reports the desktop window in front, as it
// does after the front was handed back to nobody: that is no other program.
// (While the front passes there, no window is reported: that is not now.)
TEST_F(Delivery, TheDesktopInFrontIsNobodysAndTheNameStillChanges) {
    const auto desktopInFront = [] { return GetForegroundWindow() == GetDesktopWindow(); };
    SetForegroundWindow(GetDesktopWindow());
    ASSERT_TRUE(pumpUntil(desktopInFront, 5000));
    deliver(); // opens the hidden conversation and hands the front back
    ASSERT_TRUE(pumpUntil(desktopInFront, 5000));
    deliver();
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");
    EXPECT_FALSE(delivery().waiting());
}

TEST_F(Delivery, ClassNameInOtherLetterCaseIsNotAConversation) {
    // Window classes of another module may share a name up to letter case.
    HWND front = frontWindow(L"imwindowclass", GetModuleHandleW(L"ole32.dll"));
    ASSERT_EQ(GetForegroundWindow(), front);
    HWND debug = hiddenDebugConversation();
    SetForegroundWindow(front);

    wantSong();
    EXPECT_EQ(sentTo(), Sent({{debug, kPlaying}}));
    EXPECT_FALSE(IsWindowVisible(debug));
}

TEST_F(Delivery, FirstDeliveryOpensDebugHiddenLaterOnesSendThroughItAndAClosedOneIsReopened) {
    HWND front = frontWindow();

    wantSong();
    const std::vector<sim::Conversation> debug = debugConversations();
    ASSERT_EQ(debug.size(), 1u);
    EXPECT_FALSE(debug[0].visible);
    EXPECT_EQ(session().conversations().count(), 1);
    EXPECT_EQ(slotMessage(), kPlaying);
    EXPECT_EQ(autoSend(), dword(1));
    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 0);
    EXPECT_EQ(messenger().friendlyName(), L"Ann");

    // The keys are read before the window is hidden: none go astray.
    SetForegroundWindow(front);
    wantSong();
    wantPlain();
    EXPECT_EQ(sentTo(), Sent({{debug[0].window, kPlaying}, {debug[0].window, kPlain}}));
    EXPECT_FALSE(IsWindowVisible(debug[0].window));
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
    EXPECT_EQ(messenger().hotKeyCount(), 2);
    EXPECT_EQ(messenger().strayHotKeys(), 0);
    EXPECT_EQ(messenger().instantMessageCalls(), 1);
    EXPECT_EQ(debugConversations().size(), 1u);

    // The messenger closes it: the list hears of it, the next delivery
    // opens a new one and the one after sends through that.
    messenger().closeConversation(debug[0].window);
    wantSong();
    EXPECT_EQ(messenger().instantMessageCalls(), 2);
    wantSong();
    const std::vector<sim::Conversation> reopened = debugConversations();
    ASSERT_EQ(reopened.size(), 1u);
    EXPECT_EQ(sentTo(), Sent({{reopened[0].window, kPlaying}}));
    EXPECT_EQ(messenger().hotKeyCount(), 3);
}

// The debug conversation is hidden but was made the active window to take
// the keys: the window that was in front before gets the front, and the
// keyboard, back; the user's own conversation does not get it instead.
TEST_F(Delivery, TheFrontGoesBackToTheWindowThatHadItBefore) {
    HWND user = messenger().openConversation(L"bob@example.com");
    HWND front = frontWindow();
    wantSong(); // opens the debug conversation
    const std::vector<sim::Conversation> debug = debugConversations();
    ASSERT_EQ(debug.size(), 1u);
    EXPECT_EQ(GetForegroundWindow(), front);
    wantSong(); // through it, now that it is listed
    EXPECT_EQ(sentTo(), Sent({{debug[0].window, kPlaying}}));
    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_EQ(GetFocus(), front);
    EXPECT_EQ(conversation(user).hotKeys, 0);

    // Nothing in front any more: the hidden conversation still gives the
    // front away. (Windows passes the front on when the window in front
    // closes; Wine without a window manager leaves none, and the desktop
    // stands in.)
    messenger().closeConversation(user);
    DestroyWindow(front);
    SetForegroundWindow(GetDesktopWindow());
    ASSERT_TRUE(pumpUntil([] { return GetForegroundWindow() == GetDesktopWindow(); }, 5000));
    ASSERT_NE(win::className(GetForegroundWindow(), kClassNameLimit), kConversationClass);
    wantPlain();
    EXPECT_EQ(newSends(), Sends({kPlain}));
    EXPECT_NE(GetForegroundWindow(), debug[0].window);
    EXPECT_NE(GetActiveWindow(), debug[0].window);
}

TEST_F(Delivery, KeysForTheDebugConversationNeverReachTheUsersConversation) {
    HWND debug = hiddenDebugConversation();
    HWND user = messenger().openConversation(L"bob@example.com");
    frontWindow();
    wantSong();
    wantPlain();
    wantSong();
    EXPECT_EQ(sentTo(), Sent({{debug, kPlaying}, {debug, kPlain}, {debug, kPlaying}}));
    EXPECT_EQ(conversation(user).hotKeys, 0);
}

// The hidden conversation's box is ours: a key the user pressed during its
// moment in front stays there, and would spoil every command after it.
TEST_F(Delivery, AStrayCharacterInTheHiddenConversationNeverGoesOutWithTheCommand) {
    HWND debug = hiddenDebugConversation();
    messenger().setDraft(debug, L"x");
    frontWindow();
    wantSong();
    EXPECT_EQ(sentTo(), Sent({{debug, kPlaying}}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");
}

// The system may deliver synthesised keys a moment after SendInput returns,
// as Windows' input thread does: here a thread of ours sends them 20 ms
// later.
void* g_sendInput = nullptr;
struct LateKeys {
    std::vector<INPUT> keys;
    int size;
};
DWORD WINAPI sendLater(void* p) {
    std::unique_ptr<LateKeys> late(static_cast<LateKeys*>(p));
    Sleep(20);
    reinterpret_cast<UINT(WINAPI*)(UINT, LPINPUT, int)>(g_sendInput)(
        static_cast<UINT>(late->keys.size()), late->keys.data(), late->size);
    return 0;
}
UINT WINAPI lateSendInput(UINT n, LPINPUT in, int size) {
    auto* late = new LateKeys{std::vector<INPUT>(in, in + n), size};
    if (HANDLE t = CreateThread(nullptr, 0, sendLater, late, 0, nullptr)) CloseHandle(t);
    return n;
}

// The wait for the keys ends once our own Alt+0 has been read, not on keys
// the user typed just before: hiding the conversation earlier would leave
// our keys to whichever window comes next.
TEST_F(Delivery, TheKeyWaitEndsOnOurOwnKeysNotOnTheUsersTyping) {
    HWND debug = hiddenDebugConversation();
    frontWindow();
    INPUT typed[4] = {};
    for (int i = 0; i < 4; ++i) {
        typed[i].type = INPUT_KEYBOARD;
        typed[i].ki.wVk = i < 2 ? 'A' : 'B';
        typed[i].ki.dwFlags = i % 2 ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(SendInput(4, typed, sizeof(INPUT)), 4u);
    userPauses(); // with the keys still queued
    sim::ImportHook late("user32.dll", "SendInput", reinterpret_cast<void*>(&lateSendInput),
                         &g_sendInput);
    wantSong();
    EXPECT_EQ(conversation(debug).hotKeys, 1) << "read before the delivery returned";
}

// Conversations are tried in the order they opened; one whose contact
// cannot be read is passed over, and a second debug conversation is never
// touched.
TEST_F(Delivery, TheFirstReadableDebugConversationIsUsed) {
    HWND broken = hiddenDebugConversation();
    messenger().setContactsFail(broken, true);
    messenger().openConversation(L"carol@example.com");
    HWND good = hiddenDebugConversation();
    HWND second = hiddenDebugConversation();
    frontWindow();
    wantSong();
    EXPECT_EQ(sentTo(), Sent({{good, kPlaying}}));
    EXPECT_EQ(conversation(broken).hotKeys, 0);
    EXPECT_EQ(conversation(second).hotKeys, 0);
    EXPECT_FALSE(IsWindowVisible(second));
    EXPECT_EQ(messenger().instantMessageCalls(), 0);
}

TEST_F(Delivery, AutoSendIsMadeNonZeroAndOtherwiseLeftAlone) {
    messenger().openConversation(L"bob@example.com");
    const struct {
        const char* what;
        std::function<void()> prepare;
        DWORD expected;
    } cases[] = {
        {"2 stays", [] { putSlot(L"old", 2); }, 2},
        {"-1 stays", [] { putSlot(L"old", 0xFFFFFFFFu); }, 0xFFFFFFFFu},
        {"0 becomes 1", [] { putSlot(L"old", 0); }, 1},
        {"missing becomes 1", [] { RegDeleteTreeW(HKEY_CURRENT_USER, kAddOnKey); }, 1},
        {"text '1' becomes DWORD 1",
         [] { writeRaw(slotOf(kUser), L"AutoSend", rawOf(REG_SZ, L"1", 4)); }, 1},
    };
    for (const auto& c : cases) {
        c.prepare();
        wantSong();
        EXPECT_EQ(autoSend(), dword(c.expected)) << c.what;
        EXPECT_EQ(slotMessage(), kPlaying) << c.what;
        EXPECT_EQ(newSends(), Sends({kPlaying})) << c.what;
    }
}

// The wait for the front is bounded and sleeps between its attempts: a
// busy loop would ask thousands of times within the bound.
TEST_F(Delivery, AConversationThatNeverComesToTheFrontGetsNoKeysAndTheCallReturns) {
    HWND debug = hiddenDebugConversation();
    messenger().setRefuseForeground(debug, true);
    HWND front = frontWindow();
    deliver();
    EXPECT_LT(conversation(debug).activations, 50) << "attempts to bring it to the front";
    deliver();
    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 0);
    EXPECT_EQ(messenger().strayHotKeys(), 0);
    ASSERT_EQ(debugConversations().size(), 1u) << "the same conversation, not a new one each time";
    EXPECT_FALSE(IsWindowVisible(debug));
    EXPECT_EQ(GetForegroundWindow(), front);

    // It comes to the front again: the next change goes through it.
    messenger().setRefuseForeground(debug, false);
    deliver();
    EXPECT_EQ(newSends(), Sends({kPlaying}));

    // A new one that refuses the front from its opening ends just as well.
    messenger().closeConversation(debug);
    messenger().setNewWindowsRefuseForeground(true);
    frontWindow();
    deliver();
    const std::vector<sim::Conversation> opened = debugConversations();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_FALSE(opened[0].visible);
}

// The hot key sends whatever the slot holds: unless this delivery wrote its
// command there, that is an old text, maybe the user's own. A user signed
// out, sign-in names that cannot name the slot (or would lead elsewhere in
// the registry) and a slot whose content cannot be saved first all leave
// it, and everything outside the add-on's slot, alone; the name waits.
TEST_F(Delivery, NoKeyUnlessThisDeliveryWroteTheSlot) {
    putNeighbours();
    messenger().openConversation(L"bob@example.com");
    wantSong();
    ASSERT_EQ(newSends(), Sends({kPlaying}));
    putSlot(L"/name Someone else", 1);
    putSetting(keys::CustomName, L"1");
    putSetting(keys::CustomNamePl, L"DJ Ann");
    const std::wstring custom = L"/name DJ Ann  (!WAT)";

    // Signed out: whose slot it would be cannot be told, so nothing is
    // composed.
    messenger().setSignedIn(false);
    wantSong();
    EXPECT_TRUE(delivery().waiting());
    messenger().setSignedIn(true);
    const auto settings = allValues(kSettingsPath);

    for (const std::wstring& name :
         {std::wstring(), std::wstring(L".."), std::wstring(L"..\\..\\Dorvin's Tunecaster"),
          std::wstring(L"..\\..\\..\\Dorvin's Tunecaster\\Data"), std::wstring(L"\\..\\.."),
          std::wstring(L"ann@example.com\\x"), std::wstring(L"ann@example.com\0x", 17),
          std::wstring(300, L'a') + L"@example.com"}) {
        messenger().setSigninName(name);
        deliver();
        EXPECT_TRUE(delivery().waiting());
    }
    // The user's own slot content cannot be saved first (a key the registry
    // keeps volatile takes no lasting copies).
    messenger().setSigninName(kUser);
    RegDeleteTreeW(HKEY_CURRENT_USER, quickText::kSavedSlotsPath);
    RegKey saved;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, quickText::kSavedSlotsPath, 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, saved.put(), nullptr),
              ERROR_SUCCESS);
    clock().advance(kRestMilliseconds);
    wantSong();
    EXPECT_TRUE(delivery().waiting());

    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 1);
    EXPECT_EQ(messenger().instantMessageCalls(), 0);
    EXPECT_EQ(slotMessage(), L"/name Someone else");
    EXPECT_EQ(autoSend(), dword(1));
    EXPECT_EQ(subkeysOf(kKestrix), std::vector<std::wstring>{kUser});
    EXPECT_EQ(subkeysOf(kAddOnKey), std::vector<std::wstring>{L"Kestrix2"});
    for (const wchar_t* outside : {L"Software\\Preferences", L"Software\\Venmoor\\Preferences",
                                   L"Software\\Dorvin's Tunecaster\\Preferences",
                                   L"Software\\Dorvin's Tunecaster\\Data\\Preferences"})
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, outside)) << std::wstring(outside);
    EXPECT_EQ(allValues(kSettingsPath), settings);
    expectNeighboursKept();

    // The copy can be taken again: the name that waited goes out.
    saved = RegKey();
    RegDeleteTreeW(HKEY_CURRENT_USER, quickText::kSavedSlotsPath);
    clock().advance(kRestMilliseconds);
    EXPECT_EQ(tick(2), Sends({custom}));

    // A name that can be a key name, however odd, has its slot beside the
    // user's.
    const std::wstring odd = L"a\x263A\xD800@example.com";
    messenger().setSigninName(odd);
    wantSong();
    EXPECT_EQ(newSends(), Sends({custom}));
    EXPECT_EQ(subkeysOf(kKestrix), (std::vector<std::wstring>{kUser, odd}));
}

// A call that composed nothing has nothing new to say: before the first
// command it would press the key on whatever the slot held, after it it
// would send the previous command again.
TEST_F(Delivery, NothingComposedMeansNothingWrittenAndNoKeys) {
    // An empty friendly name, then neither mode on: both calls each time.
    auto composeNothing = [this] {
        messenger().setFriendlyName(L"");
        wantSong();
        wantPlain();
        putSetting(keys::CurrentName, L"0");
        messenger().setFriendlyName(L"Ann");
        wantSong();
        wantPlain();
    };
    putSlot(L"/name Old", 0);
    messenger().openConversation(L"bob@example.com");
    composeNothing();
    EXPECT_EQ(slotMessage(), L"/name Old");
    EXPECT_EQ(autoSend(), dword(0));
    EXPECT_EQ(messenger().hotKeyCount(), 0);

    putSetting(keys::CurrentName, L"1");
    wantSong();
    EXPECT_EQ(newSends(), Sends({kPlaying}));
    composeNothing();
    EXPECT_EQ(newSends(), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 1);
}

// The slot's content before the plug-in first wrote it is kept, once, and
// the copy gives it back exactly.
TEST_F(Delivery, TheUsersOwnQuickTextIsKeptAndGivenBack) {
    putSlot(L"see you at 8", 0);
    messenger().openConversation(L"bob@example.com");
    wantSong();
    wantPlain();
    ASSERT_EQ(newSends(), Sends({kPlaying, kPlain}));
    EXPECT_EQ(slotMessage(), kPlain);
    EXPECT_EQ(quickText::giveBackAll(), S_OK);
    EXPECT_EQ(slotMessage(), L"see you at 8");
    EXPECT_EQ(autoSend(), dword(0));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, quickText::kSavedSlotsPath));
}

TEST_F(Delivery, NamesOutsideTheAnsiCodePageAndOfTenThousandCharactersGoThroughWhole) {
    messenger().setSigninName(L"\u00e5sa\u2605@example.com");
    messenger().setFriendlyName(L"Ann \u2605");
    messenger().openConversation(L"bob@example.com");
    wantSong();
    wantPlain();
    EXPECT_EQ(newSends(), Sends({L"/name Ann \u2605 listening: (!WAT)", L"/name Ann \u2605"}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann \u2605");

    std::wstring huge;
    while (huge.size() < 10000) huge += L"Ann-Lee ";
    messenger().setFriendlyName(huge);
    wantSong();
    wantSong(); // the tag is cut off before it is added again
    wantPlain();
    const std::wstring playing = L"/name " + huge + L" listening: (!WAT)";
    EXPECT_EQ(newSends(), Sends({playing, playing, L"/name " + huge}));
    EXPECT_EQ(messenger().friendlyName(), huge);
}

TEST_F(Delivery, MessengerCallsFailingAtRandomNeitherHangNorEscapeNorCorrupt) {
    frontWindow();
    putNeighbours();
    const auto settings = allValues(kSettingsPath);
    messenger().setFailureRate(0.3, 7);
    for (int i = 0; i < 20; ++i) deliver(i % 2 != 0);
    EXPECT_GT(messenger().injectedFailures(), 4) << "the faults must have been hit";
    // Whatever went through is a whole command, never a broken one.
    for (const std::wstring& text : newSends()) EXPECT_TRUE(text == kPlaying || text == kPlain);

    // The faults end: once the road has had its rest, at most one delivery
    // to open a fresh hidden conversation, then the names go through again.
    messenger().setFailureRate(0.0);
    clock().advance(kRestMilliseconds);
    wantSong();
    wantSong();
    const Sends after = newSends();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), kPlaying);
    EXPECT_EQ(slotMessage(), kPlaying);
    EXPECT_EQ(allValues(kSettingsPath), settings);
    expectNeighboursKept();
}

// Closes the debug conversation from inside the delivery: when it is
// activated, or when the hot key reaches it.
enum class CloseAt { Activation, HotKey };
void PrintTo(CloseAt at, std::ostream* os) {
    *os << (at == CloseAt::Activation ? "on activation" : "when the keys arrive");
}
HWND g_closeTarget = nullptr;
CloseAt g_closeAt = CloseAt::Activation;
int g_closed = 0;

bool closeTarget() {
    sim::SimMessenger::instance().closeConversation(std::exchange(g_closeTarget, nullptr));
    ++g_closed;
    return true;
}

LRESULT CALLBACK closeOnActivate(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_closeAt == CloseAt::Activation && g_closeTarget &&
        reinterpret_cast<HWND>(wParam) == g_closeTarget)
        return closeTarget(); // the window is gone: no activation
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK closeOnKey(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_closeAt == CloseAt::HotKey && g_closeTarget && wParam == '0' &&
        !(lParam & (1u << 31)) &&
        (GetFocus() == g_closeTarget || IsChild(g_closeTarget, GetFocus())))
        return closeTarget(); // swallowed with its window
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class ClosedMidDelivery : public Delivery, public ::testing::WithParamInterface<CloseAt> {};

TEST_P(ClosedMidDelivery, TheNextDeliveriesOpenAFreshConversationAndGoThrough) {
    frontWindow();
    wantSong(); // opens the hidden conversation, sends nothing
    ASSERT_EQ(debugConversations().size(), 1u);

    HHOOK cbt = SetWindowsHookExW(WH_CBT, closeOnActivate, nullptr, GetCurrentThreadId());
    HHOOK keys = SetWindowsHookExW(WH_KEYBOARD, closeOnKey, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(cbt && keys);
    g_closeAt = GetParam();
    g_closeTarget = debugConversations()[0].window;
    deliver();
    UnhookWindowsHookEx(cbt);
    UnhookWindowsHookEx(keys);
    EXPECT_EQ(g_closed, 1);
    EXPECT_TRUE(debugConversations().empty());

    // A new hidden conversation, then the name again.
    deliver();
    ASSERT_EQ(debugConversations().size(), 1u);
    deliver();
    EXPECT_EQ(newSends(), Sends({kPlaying}));
}

INSTANTIATE_TEST_SUITE_P(Delivery, ClosedMidDelivery,
                         ::testing::Values(CloseAt::Activation, CloseAt::HotKey),
                         [](const auto& info) {
                             return info.param == CloseAt::Activation ? "WhenActivated"
                                                                      : "WhenTheKeysArrive";
                         });

// The host may create the plug-in before the messenger runs: start-up stops
// at the connection, and a later tick connects, once.
class MessengerLate : public Delivery {
protected:
    MessengerLate() {
        messengerRunning_ = false;
        startNow_ = false;
    }
    void SetUp() override { BackgroundTest::SetUp(); }
};

TEST_F(MessengerLate, ALaterTickConnectsOnceAndTheNamesFollow) {
    const auto settings = allValues(kSettingsPath);
    EXPECT_TRUE(FAILED(startUp()));
    EXPECT_EQ(messenger().connectedSinks(), 0u);
    frontWindow();
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(tick(), Sends{});
    EXPECT_TRUE(delivery().waiting()) << "for the messenger to come";
    EXPECT_EQ(messenger().connectedSinks(), 0u);

    // The messenger comes up. The next delivery connects to it and opens its
    // hidden conversation (no keys on that one); the ones after send.
    ASSERT_EQ(messenger().registerClass(), S_OK);
    player.play(2);
    EXPECT_EQ(tick(), Sends{});
    EXPECT_TRUE(delivery().waiting());
    EXPECT_EQ(messenger().connectedSinks(), 1u);
    ASSERT_EQ(debugConversations().size(), 1u);
    EXPECT_FALSE(debugConversations()[0].visible);
    EXPECT_EQ(session().conversations().count(), 1);

    player.play(3);
    EXPECT_EQ(tick(), Sends({kPlaying}));
    player.stop();
    EXPECT_EQ(tick(2), Sends({kPlain}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
    EXPECT_EQ(messenger().connectedSinks(), 1u) << "connected once, not at every delivery";
    EXPECT_EQ(messenger().instantMessageCalls(), 1);
    EXPECT_EQ(allValues(kSettingsPath), settings);
}

// The messenger starts with the player already playing and no conversation
// in front: the first delivery can only open the hidden conversation, and
// its command goes out at the next tick.
class FirstSong : public Delivery {
protected:
    FirstSong() { startNow_ = false; }
    void SetUp() override { BackgroundTest::SetUp(); }

    // Starts the plug-in with the song already playing and a window of the
    // user's, not a conversation, in front; returns that window.
    HWND startWhilePlaying(sim::PlayerSim& player) {
        EXPECT_TRUE(player.open());
        player.play(1);
        HWND front = frontWindow();
        EXPECT_EQ(startUp(), S_OK);
        EXPECT_EQ(tick(), Sends{}) << "the call that opens the conversation sends nothing";
        EXPECT_EQ(messenger().instantMessageCalls(), 1);
        return front;
    }
};

TEST_F(FirstSong, ShowsAtTheNextTickWithOneKeyAndTheFrontGivenBack) {
    sim::PlayerSim player(2);
    HWND front = startWhilePlaying(player);
    const std::vector<sim::Conversation> debug = debugConversations();
    ASSERT_EQ(debug.size(), 1u);
    EXPECT_EQ(sentTo(), Sent{});

    background().tick();
    EXPECT_EQ(sentTo(), Sent({{debug[0].window, kPlaying}}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");
    EXPECT_EQ(tick(3), Sends{}) << "sent once";
    EXPECT_EQ(messenger().hotKeyCount(), 1);
    EXPECT_EQ(messenger().strayHotKeys(), 0);
    EXPECT_EQ(messenger().instantMessageCalls(), 1);
    EXPECT_FALSE(IsWindowVisible(debug[0].window));
    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_EQ(GetFocus(), front);
}

// A conversation that will not come to the front is asked again a few times,
// then only once a rest has passed, never every second; the name goes out
// once it comes.
TEST_F(FirstSong, AConversationThatWillNotComeToTheFrontIsAskedAgainOnlyAfterARest) {
    messenger().setNewWindowsRefuseForeground(true);
    sim::PlayerSim player(2);
    HWND front = startWhilePlaying(player);
    ASSERT_EQ(debugConversations().size(), 1u);
    const HWND debug = debugConversations()[0].window;
    const auto askedThisTick = [&] {
        const int before = conversation(debug).activations;
        EXPECT_EQ(tick(), Sends{});
        return conversation(debug).activations > before;
    };
    int asked = 0;
    for (int i = 0; i < kFailedTriesBeforeRest + 3; ++i) asked += askedThisTick();
    EXPECT_EQ(asked, kFailedTriesBeforeRest) << "then it rests";
    EXPECT_EQ(GetForegroundWindow(), front);
    clock().advance(kRestMilliseconds);
    EXPECT_TRUE(askedThisTick()) << "once the rest is over";
    EXPECT_FALSE(askedThisTick());

    messenger().setRefuseForeground(debug, false);
    clock().advance(kRestMilliseconds);
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_EQ(messenger().strayHotKeys(), 0);
    EXPECT_EQ(messenger().instantMessageCalls(), 1) << "one conversation, not one per try";
}

TEST_F(FirstSong, ANewerCommandReplacesThePendingOneAndSwitchingOffDropsIt) {
    putSetting(keys::CurrentName, L"0");
    putSetting(keys::CustomName, L"1");
    putSetting(keys::CustomNamePl, L"Ann");
    putSetting(keys::CustomTagPl, L"#1");
    sim::PlayerSim player(2);
    startWhilePlaying(player);

    putSetting(keys::CustomTagPl, L"#2");
    player.play(2);
    EXPECT_EQ(tick(), Sends({L"/name Ann #2 (!WAT)"}));
    EXPECT_EQ(tick(2), Sends{});

    messenger().closeConversation(debugConversations()[0].window);
    putSetting(keys::CustomTagPl, L"#3");
    player.play(3);
    EXPECT_EQ(tick(), Sends{});
    ASSERT_EQ(messenger().instantMessageCalls(), 2);
    putSetting(keys::onOff, L"0");
    EXPECT_EQ(tick(), Sends{});
    putSetting(keys::onOff, L"1");
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 1);
}

} // namespace
} // namespace tc::test
