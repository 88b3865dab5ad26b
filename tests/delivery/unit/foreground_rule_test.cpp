// Windows lets a process take the foreground only while it is its own or
// nobody's. Wine does not, so these tests switch the rule on in this
// process (the messenger's, with the plug-in in it) and put another program
// in front: the delivery must leave it alone and keep its command waiting.
// The same goes while the user types or holds a key, and while the session
// is locked, which the rule also plays.
#include "platform/Win32.h"
#include "sim/common/ForegroundRule.h"
#include "sim/common/ImportHook.h"
#include "sim/common/OtherProgram.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

#include <imm.h>

#include <algorithm>

namespace tc::test {
namespace {

namespace rule = sim::foregroundRule;

class ForegroundRule : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        rule::install();
        rule::setOn(true);
        rule::resetCounts();
    }
    void TearDown() override {
        rule::setLocked(false);
        rule::setSecureDesktop(false);
        rule::setOn(false);
    }

    // The user clicks the window, and again should it not stay in front:
    // Wine may still be passing the X focus between the two processes, and
    // a late focus event of the other program's takes the front back.
    static void comeBackTo(HWND window, int line = __builtin_LINE()) {
        SCOPED_TRACE(line);
        const auto inFront = [window] { return GetForegroundWindow() == window; };
        for (int click = 0; click < 3; ++click) {
            ASSERT_TRUE(rule::userActivates(window));
            if (pumpUntil(inFront, 2000) && !pumpUntil([&] { return !inFront(); }, 100)) return;
        }
        FAIL() << "the window does not stay in front";
    }
    static std::wstring slotMessage(const std::wstring& user = L"ann@example.com") {
        std::wstring text;
        return (reg::getString(HKEY_CURRENT_USER, slotOf(user), L"Message", text) == ERROR_SUCCESS)
                   ? text
                   : L"<missing>";
    }
    static std::wstring keysOf(HWND window) {
        for (const sim::Conversation& c : messenger().conversations())
            if (c.window == window) return c.keys;
        return L"<closed>";
    }
    static bool down(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }
    static sim::Conversation conversation(HWND window) {
        for (const sim::Conversation& c : messenger().conversations())
            if (c.window == window) return c;
        return {};
    }

    // The user's conversation with Bob in front, and the first song's name
    // gone out there.
    HWND songInTheUsersConversation() {
        EXPECT_TRUE(player.open());
        player.play(1);
        HWND user = messenger().openConversation(L"bob@example.com");
        EXPECT_EQ(tick(), Sends({kPlaying}));
        return user;
    }

    sim::PlayerSim player{2};
    int song = 1;
};

TEST_F(ForegroundRule, AnotherProgramGetsNothingAndTheNewestCommandGoesOutWhenTheUserIsBack) {
    HWND user = songInTheUsersConversation();

    sim::OtherProgram other;
    ASSERT_TRUE(other.ok());
    const DWORD clockBefore = clock().now();
    player.play(2);
    EXPECT_EQ(tick(), Sends{});
    player.stop(); // the plain name is the newest
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(rule::counts().total(), 0) << "no front asked for, no keys";
    EXPECT_EQ(clock().now(), clockBefore) << "nothing waited for";
    EXPECT_EQ(slotMessage(), kPlaying) << "nothing written";
    EXPECT_EQ(messenger().instantMessageCalls(), 0);
    EXPECT_EQ(messenger().hotKeyCount(), 1);

    comeBackTo(user);
    EXPECT_EQ(tick(), Sends({kPlain}));
    EXPECT_EQ(tick(2), Sends{}) << "once";
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
    EXPECT_EQ(other.keys(), 0);
}

TEST_F(ForegroundRule, TheMessengersOwnWindowInFrontStillGetsTheHiddenConversationAndTheFrontBack) {
    ASSERT_TRUE(player.open());
    player.play(1);
    HWND own = frontWindow();
    EXPECT_EQ(tick(), Sends{}) << "opens the hidden conversation";
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(GetForegroundWindow(), own);
    EXPECT_EQ(rule::counts().total(), 0);
}

TEST_F(ForegroundRule, AnotherMessengersConversationInFrontGetsNoKey) {
    sim::OtherProgram other(kConversationClass);
    ASSERT_TRUE(other.ok());
    wantSong();
    EXPECT_EQ(rule::counts().total(), 0);
    EXPECT_EQ(messenger().hotKeyCount(), 0);
    EXPECT_TRUE(delivery().waiting());
}

TEST_F(ForegroundRule, AWaitingCommandIsDroppedForAnotherUserAndWhenSwitchedOff) {
    HWND user = messenger().openConversation(L"bob@example.com");
    sim::OtherProgram other;
    ASSERT_TRUE(other.ok());

    wantSong();
    messenger().setSigninName(L"carol@example.com");
    comeBackTo(user);
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(slotMessage(L"carol@example.com"), L"<missing>");

    messenger().setSigninName(L"ann@example.com");
    comeBackTo(other.window());
    wantSong();
    putSetting(keys::onOff, L"0");
    tick();
    putSetting(keys::onOff, L"1");
    comeBackTo(user);
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 0);
}

TEST_F(ForegroundRule, AHeldCtrlOrShiftHoldsAltZeroBackUntilLetGo) {
    HWND user = songInTheUsersConversation();
    int song = 1;
    for (WORD vk : {VK_CONTROL, VK_SHIFT}) {
        SCOPED_TRACE(vk);
        rule::userPresses(vk);
        userPauses(); // held long: nothing but the held key holds the name back
        player.play(++song);
        EXPECT_EQ(tick(2), Sends{});
        rule::userReleases(vk);
        tick();
        userPauses();
        EXPECT_EQ(tick(), Sends({kPlaying}));
    }
    EXPECT_EQ(keysOf(user), L"[Alt+0][Alt+0][Alt+0]");
}

TEST_F(ForegroundRule, AHeldCtrlKeepsTheHiddenConversationAwayFromTheFront) {
    ASSERT_TRUE(player.open());
    player.play(1);
    HWND list = messenger().showContactList();
    tick(); // opens the hidden conversation
    ASSERT_EQ(tick(), Sends({kPlaying}));
    rule::userPresses(VK_CONTROL);
    userPauses();
    rule::resetCounts();
    player.play(2);
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(rule::counts().frontRequests, 0);
    EXPECT_EQ(GetForegroundWindow(), list);
    rule::userReleases(VK_CONTROL);
    tick();
    userPauses();
    EXPECT_EQ(tick(), Sends({kPlaying}));
}

// An input method composing (a keyboard for another script, dictation) adds
// text without the keys the pause watches, and may stay open across it:
// Alt+0, or the front taken away for the hidden conversation, would end the
// composition. Wine opens none, so one is played at the plug-in's imports,
// in the window that has the keyboard focus.
HWND g_composingIn = nullptr;
const HIMC kComposition = reinterpret_cast<HIMC>(static_cast<INT_PTR>(0x7C0));
void *g_getContext = nullptr, *g_releaseContext = nullptr, *g_getComposition = nullptr;
HIMC WINAPI composingGetContext(HWND window) {
    if (window && window == g_composingIn) return kComposition;
    return reinterpret_cast<HIMC(WINAPI*)(HWND)>(g_getContext)(window);
}
BOOL WINAPI composingReleaseContext(HWND window, HIMC context) {
    if (context == kComposition) return TRUE;
    return reinterpret_cast<BOOL(WINAPI*)(HWND, HIMC)>(g_releaseContext)(window, context);
}
LONG WINAPI composingGetCompositionString(HIMC context, DWORD index, LPVOID buffer, DWORD bytes) {
    if (context == kComposition) return index == GCS_COMPSTR ? 4 : 0;
    return reinterpret_cast<LONG(WINAPI*)(HIMC, DWORD, LPVOID, DWORD)>(g_getComposition)(
        context, index, buffer, bytes);
}

TEST_F(ForegroundRule, AnOpenCompositionHoldsTheNameBack) {
    sim::ImportHook context("imm32.dll", "ImmGetContext",
                            reinterpret_cast<void*>(&composingGetContext), &g_getContext);
    sim::ImportHook release("imm32.dll", "ImmReleaseContext",
                            reinterpret_cast<void*>(&composingReleaseContext), &g_releaseContext);
    sim::ImportHook composition("imm32.dll", "ImmGetCompositionStringW",
                                reinterpret_cast<void*>(&composingGetCompositionString),
                                &g_getComposition);
    ASSERT_TRUE(context.active() && release.active() && composition.active());
    HWND user = songInTheUsersConversation();
    g_composingIn = GetFocus();
    ASSERT_EQ(GetParent(g_composingIn), user) << "composing in the conversation's box";
    player.play(2);
    rule::resetCounts();
    EXPECT_EQ(tick(3), Sends{});
    EXPECT_EQ(rule::counts().frontRequests, 0) << "the front stays where the user composes";
    EXPECT_EQ(conversation(user).hotKeys, 1);
    g_composingIn = nullptr;
    EXPECT_EQ(tick(), Sends({kPlaying}));
}

TEST_F(ForegroundRule, TypingHoldsTheNameBackAndEveryKeyReachesTheConversation) {
    HWND user = songInTheUsersConversation();
    player.play(2);
    const std::wstring typed = L"on my way home";
    for (size_t i = 0; i < typed.size(); ++i) {
        rule::userTypes(static_cast<WORD>(towupper(typed[i]))); // letters and the space
        clock().advance(250);
        if (i % 4 == 3) {
            EXPECT_EQ(tick(), Sends{}) << "a tick while typing";
        }
    }
    rule::userTypes(VK_RETURN);
    EXPECT_EQ(tick(), Sends{});
    clock().advance(kUserPauseMilliseconds);
    EXPECT_EQ(tick(), Sends({kPlaying})) << "after the pause";
    EXPECT_EQ(keysOf(user), L"[Alt+0]" + typed + L"[Enter][Alt+0]");
    EXPECT_EQ(conversation(user).messages, std::vector<std::wstring>{typed});
}

// A reply the user left unsent in their conversation is theirs: the name
// goes through the hidden conversation, and the user's conversation gets
// the front and the focus back with its draft, caret and all.
TEST_F(ForegroundRule, ADraftInTheUsersConversationIsNeverSentAndTheyTypeOnWhereTheyLeftOff) {
    HWND user = songInTheUsersConversation();
    for (wchar_t c : std::wstring(L"SEE YOU")) rule::userTypes(c);
    player.stop();
    EXPECT_EQ(tick(), Sends{}) << "typing";
    userPauses();
    EXPECT_EQ(tick(), Sends{}) << "opens the hidden conversation";
    background().tick();
    const std::vector<sim::SentText> sent = newEntries();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].text, kPlain);
    EXPECT_EQ(sent[0].contact, L"Debug.Window");
    const sim::Conversation after = conversation(user);
    EXPECT_EQ(after.draft, L"see you");
    EXPECT_TRUE(after.messages.empty());
    EXPECT_EQ(after.hotKeys, 1) << "only the first song's";
    EXPECT_EQ(GetForegroundWindow(), user);
    EXPECT_EQ(GetParent(GetFocus()), user) << "the focus in its box";
    rule::userTypes('X');
    pump(0);
    EXPECT_EQ(conversation(user).draft, L"see youx");
}

// Locked, or a secure desktop taking the input while a window is still
// reported in front (an elevation prompt over it, a secure screen saver):
// the look at the input desktop decides, not the window in front.
TEST_F(ForegroundRule, WhileLockedNothingIsTouchedAndTheNewestCommandGoesOutOnceAtTheUnlock) {
    songInTheUsersConversation();
    const struct {
        const char* what;
        void (*set)(bool);
    } sessions[] = {{"locked", rule::setLocked}, {"a secure desktop", rule::setSecureDesktop}};
    for (const auto& session : sessions) {
        SCOPED_TRACE(session.what);
        session.set(true);
        rule::resetCounts();
        const DWORD clockBefore = clock().now();
        player.play(++song);
        EXPECT_EQ(tick(), Sends{});
        player.stop();
        EXPECT_EQ(tick(2), Sends{});
        EXPECT_EQ(rule::counts().total(), 0) << "no front asked for, no keys";
        EXPECT_EQ(clock().now(), clockBefore) << "the thread is never held";
        EXPECT_EQ(slotMessage(), kPlaying) << "nothing written";

        session.set(false);
        EXPECT_EQ(tick(), Sends({kPlain}));
        EXPECT_EQ(tick(2), Sends{}) << "once";
        player.play(++song);
        EXPECT_EQ(tick(), Sends({kPlaying}));
    }
}

// The user starts typing while the hidden conversation comes to the front:
// the look just before the keys holds Alt+0 back, and the name waits.
HWND g_typeWhenInFront = nullptr;
void* g_setForeground = nullptr;
BOOL WINAPI typingSetForegroundWindow(HWND window) {
    const BOOL done = reinterpret_cast<BOOL(WINAPI*)(HWND)>(g_setForeground)(window);
    if (window == std::exchange(g_typeWhenInFront, nullptr)) rule::userTypes('K');
    return done;
}

TEST_F(ForegroundRule, AKeyTypedWhileTheHiddenConversationComesToTheFrontHoldsAltZeroBack) {
    ASSERT_TRUE(player.open());
    player.play(1);
    messenger().showContactList();
    EXPECT_EQ(tick(), Sends{}) << "opens the hidden conversation";
    EXPECT_EQ(tick(), Sends({kPlaying}));
    HWND hidden = nullptr;
    for (const sim::Conversation& c : messenger().conversations())
        if (c.contact == L"Debug.Window") hidden = c.window;
    ASSERT_TRUE(hidden);

    sim::ImportHook typing("user32.dll", "SetForegroundWindow",
                           reinterpret_cast<void*>(&typingSetForegroundWindow), &g_setForeground);
    g_typeWhenInFront = hidden;
    player.play(2);
    EXPECT_EQ(tick(), Sends{});
    EXPECT_EQ(g_typeWhenInFront, nullptr) << "the user typed during the trip";
    EXPECT_EQ(conversation(hidden).hotKeys, 1) << "no Alt+0 among the user's keys";
    EXPECT_TRUE(delivery().waiting());
    userPauses();
    EXPECT_EQ(tick(), Sends({kPlaying})) << "and their key never goes out with it";
}

// The system takes our Alt down, then the session locks and refuses the
// key-ups: Alt stays down while locked, and is let go once the session is
// the user's again, or their next keys would become shortcuts.
bool g_lockAfterAlt = false;
void* g_sendInputBeforeLock = nullptr;
UINT WINAPI lockingSendInput(UINT n, LPINPUT in, int size) {
    const auto send = reinterpret_cast<UINT(WINAPI*)(UINT, LPINPUT, int)>(g_sendInputBeforeLock);
    if (!std::exchange(g_lockAfterAlt, false)) return send(n, in, size);
    const UINT taken = send(1, in, size);
    rule::setLocked(true);
    return taken;
}

TEST_F(ForegroundRule, OurAltLeftDownByALockIsLetGoAtTheUnlock) {
    HWND user = messenger().openConversation(L"bob@example.com");
    {
        sim::ImportHook locking("user32.dll", "SendInput",
                                reinterpret_cast<void*>(&lockingSendInput), &g_sendInputBeforeLock);
        g_lockAfterAlt = true;
        wantSong();
    }
    pump(0);
    EXPECT_TRUE(down(VK_MENU)) << "the lock refused its key-up";
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_TRUE(down(VK_MENU)) << "nothing goes in while locked";
    rule::setLocked(false);
    pump(0);
    Sends later = tick();
    pump(0);
    EXPECT_FALSE(down(VK_MENU));
    EXPECT_EQ(keysOf(user).find(L"[menu]"), std::wstring::npos);
    userPauses();
    for (const std::wstring& sent : tick(2)) later.push_back(sent);
    ASSERT_FALSE(later.empty());
    EXPECT_EQ(later.back(), kPlaying);
}

TEST_F(ForegroundRule, ACommandWaitingBehindAnotherProgramSurvivesALockAndAnUnlock) {
    HWND user = songInTheUsersConversation();
    sim::OtherProgram other;
    ASSERT_TRUE(other.ok());
    player.stop();
    EXPECT_EQ(tick(2), Sends{});
    rule::setLocked(true);
    EXPECT_EQ(tick(5), Sends{});
    rule::setLocked(false);
    EXPECT_EQ(tick(), Sends{});
    comeBackTo(user);
    EXPECT_EQ(tick(), Sends({kPlain}));
    EXPECT_EQ(other.keys(), 0);
}

// While the front passes from one window to another no window is reported
// in front (Wine without a window manager leaves it so after the window in
// front closes): not now, and no window is taken to the front meanwhile.
TEST_F(ForegroundRule, NoWindowInFrontMeansNotNow) {
    DestroyWindow(frontWindow());
    ASSERT_TRUE(pumpUntil([] { return GetForegroundWindow() == nullptr; }, 5000));
    rule::resetCounts();
    wantSong();
    EXPECT_TRUE(delivery().waiting());
    EXPECT_EQ(rule::counts().frontRequests, 0);
    EXPECT_EQ(messenger().instantMessageCalls(), 0);
    messenger().openConversation(L"bob@example.com");
    EXPECT_EQ(tick(2), Sends({kPlaying}));
}

// The system takes only the first keys of one SendInput call, as when the
// session locks while they go in; later calls go through.
UINT g_keysTaken = 0;
bool g_refuseAlways = false;
void* g_sendInput = nullptr;
UINT WINAPI partialSendInput(UINT n, LPINPUT in, int size) {
    const UINT taken = g_refuseAlways ? 0 : std::min(n, std::exchange(g_keysTaken, ~0u));
    if (taken == 0) return 0;
    return reinterpret_cast<UINT(WINAPI*)(UINT, LPINPUT, int)>(g_sendInput)(taken, in, size);
}

TEST_F(ForegroundRule, KeysTakenOnlyInPartAreLetGoAndTheCommandWaits) {
    HWND user = messenger().openConversation(L"bob@example.com");
    for (UINT taken : {1u, 2u, 3u}) {
        SCOPED_TRACE(taken);
        {
            sim::ImportHook partial("user32.dll", "SendInput",
                                    reinterpret_cast<void*>(&partialSendInput), &g_sendInput);
            g_keysTaken = taken;
            wantSong();
        }
        pump(0);
        EXPECT_FALSE(down(VK_MENU) || down('0')) << "no key of ours left down";
        EXPECT_TRUE(delivery().waiting());
        // (Wine may report input of its own after keys were let go.)
        userPauses();
        const Sends later = tick(2);
        ASSERT_FALSE(later.empty());
        EXPECT_EQ(later.back(), kPlaying) << "sent at a later tick";
        EXPECT_FALSE(delivery().waiting());
    }
    EXPECT_EQ(keysOf(user).find(L"[menu]"), std::wstring::npos);

    // Refused every time, on the hidden conversation's road: it is fetched
    // a few times in a row, then only once a rest has passed, never every
    // second; and the name goes out once the keys are taken again.
    sim::ImportHook refused("user32.dll", "SendInput", reinterpret_cast<void*>(&partialSendInput),
                            &g_sendInput);
    g_refuseAlways = true;
    messenger().showContactList();
    wantSong(); // opens the hidden conversation
    HWND hidden = nullptr;
    for (const sim::Conversation& c : messenger().conversations())
        if (c.contact == L"Debug.Window") hidden = c.window;
    ASSERT_TRUE(hidden);
    const auto fetchedThisTick = [&] {
        const auto activations = [&] {
            for (const sim::Conversation& c : messenger().conversations())
                if (c.window == hidden) return c.activations;
            return -1;
        };
        const int before = activations();
        EXPECT_EQ(tick(), Sends{});
        return activations() > before;
    };
    int fetched = 0;
    for (int i = 0; i < kFailedTriesBeforeRest + 3; ++i) fetched += fetchedThisTick();
    EXPECT_EQ(fetched, kFailedTriesBeforeRest) << "then it rests";
    clock().advance(kRestMilliseconds);
    EXPECT_TRUE(fetchedThisTick()) << "once the rest is over";
    EXPECT_FALSE(fetchedThisTick());
    g_refuseAlways = false;
    clock().advance(kRestMilliseconds);
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_FALSE(delivery().waiting());
}

// A wish waits as what the name should show, not as a text: a name the user
// set meanwhile (from their phone, say) is built on, never undone.
TEST_F(ForegroundRule, ANameTheUserSetWhileTheNameWaitedIsKeptAndBuiltOn) {
    HWND user = songInTheUsersConversation();
    sim::OtherProgram other;
    ASSERT_TRUE(other.ok());
    player.stop();
    EXPECT_EQ(tick(2), Sends{});
    messenger().setFriendlyName(L"Ann (away till 5)");
    comeBackTo(user);
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(messenger().friendlyName(), L"Ann (away till 5)");

    comeBackTo(other.window());
    player.play(2);
    EXPECT_EQ(tick(2), Sends{});
    messenger().setFriendlyName(L"Bob");
    comeBackTo(user);
    EXPECT_EQ(tick(), Sends({L"/name Bob listening: (!WAT)"}));
}

} // namespace
} // namespace tc::test
