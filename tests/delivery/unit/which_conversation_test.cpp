// Which conversation gets the keys: the user's own in front, or the hidden
// one, and the front and the keyboard handed back afterwards.
#include "platform/Win32.h"
#include "tests/delivery/DeliveryTest.h"

namespace tc::test {
namespace {

class WhichConversation : public DeliveryTest {};

TEST_F(WhichConversation, ConversationInFrontGetsTheKeystrokeAndDebugIsLeftAlone) {
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
TEST_F(WhichConversation, TheDesktopInFrontIsNobodysAndTheNameStillChanges) {
    const auto desktopInFront = [] { return GetForegroundWindow() == GetDesktopWindow(); };
    SetForegroundWindow(GetDesktopWindow());
    ASSERT_TRUE(pumpUntil(desktopInFront, 5000));
    deliver(); // opens the hidden conversation and hands the front back
    ASSERT_TRUE(pumpUntil(desktopInFront, 5000));
    deliver();
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");
    EXPECT_FALSE(delivery().waiting());
}

TEST_F(WhichConversation, ClassNameInOtherLetterCaseIsNotAConversation) {
    // Window classes of another module may share a name up to letter case.
    HWND front = frontWindow(L"imwindowclass", GetModuleHandleW(L"ole32.dll"));
    ASSERT_EQ(GetForegroundWindow(), front);
    HWND debug = hiddenDebugConversation();
    SetForegroundWindow(front);

    wantSong();
    EXPECT_EQ(sentTo(), Sent({{debug, kPlaying}}));
    EXPECT_FALSE(IsWindowVisible(debug));
}

TEST_F(WhichConversation, FirstDeliveryOpensDebugHiddenLaterOnesSendThroughItAndAClosedOneIsReopened) {
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
TEST_F(WhichConversation, TheFrontGoesBackToTheWindowThatHadItBefore) {
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

TEST_F(WhichConversation, KeysForTheDebugConversationNeverReachTheUsersConversation) {
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
TEST_F(WhichConversation, AStrayCharacterInTheHiddenConversationNeverGoesOutWithTheCommand) {
    HWND debug = hiddenDebugConversation();
    messenger().setDraft(debug, L"x");
    frontWindow();
    wantSong();
    EXPECT_EQ(sentTo(), Sent({{debug, kPlaying}}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");
}

// Conversations are tried in the order they opened; one whose contact
// cannot be read is passed over, and a second debug conversation is never
// touched.
TEST_F(WhichConversation, TheFirstReadableDebugConversationIsUsed) {
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

} // namespace
} // namespace tc::test
