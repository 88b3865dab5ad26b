// Windows lets a process take the foreground only while it is its own or
// nobody's. Wine does not, so these tests switch the rule on in this
// process (the messenger's, with the plug-in in it) and put another program
// in front: the delivery must leave it alone and keep its command waiting.
#include "sim/common/ForegroundRule.h"
#include "sim/common/OtherProgram.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

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
    void TearDown() override { rule::setOn(false); }

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
};

TEST_F(ForegroundRule, AnotherProgramGetsNothingAndTheNewestCommandGoesOutWhenTheUserIsBack) {
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    HWND user = messenger().openConversation(L"bob@example.com");
    ASSERT_EQ(tick(), Sends({kPlaying}));

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
    sim::PlayerSim player(2);
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
    form().changeName();
    EXPECT_EQ(form().Text3, kConversationClass);
    EXPECT_EQ(rule::counts().total(), 0);
    EXPECT_EQ(messenger().hotKeyCount(), 0);
    EXPECT_TRUE(form().delivery.hasWaiting());
}

TEST_F(ForegroundRule, AWaitingCommandIsDroppedForAnotherUserAndWhenSwitchedOff) {
    HWND user = messenger().openConversation(L"bob@example.com");
    sim::OtherProgram other;
    ASSERT_TRUE(other.ok());

    form().changeName();
    messenger().setSigninName(L"carol@example.com");
    comeBackTo(user);
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(slotMessage(L"carol@example.com"), L"<missing>");

    messenger().setSigninName(L"ann@example.com");
    comeBackTo(other.window());
    form().changeName();
    putSetting(keys::onOff, L"0");
    tick();
    putSetting(keys::onOff, L"1");
    comeBackTo(user);
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 0);
}

} // namespace
} // namespace tc::test
