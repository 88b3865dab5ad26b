// A messenger that fails, closes our conversation mid-delivery or starts
// after the plug-in: nothing hangs, nothing escapes, and the names follow.
#include "sim/player/PlayerSim.h"
#include "tests/delivery/DeliveryTest.h"

#include <functional>

namespace tc::test {
namespace {

class MessengerFaults : public DeliveryTest {};

TEST_F(MessengerFaults, MessengerCallsFailingAtRandomNeitherHangNorEscapeNorCorrupt) {
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

class ClosedMidDelivery : public DeliveryTest, public ::testing::WithParamInterface<CloseAt> {};

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

INSTANTIATE_TEST_SUITE_P(MessengerFaults, ClosedMidDelivery,
                         ::testing::Values(CloseAt::Activation, CloseAt::HotKey),
                         [](const auto& info) {
                             return info.param == CloseAt::Activation ? "WhenActivated"
                                                                      : "WhenTheKeysArrive";
                         });

// The host may create the plug-in before the messenger runs: start-up stops
// at the connection, and a later tick connects, once.
class MessengerLate : public DeliveryTest {
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

} // namespace
} // namespace tc::test
