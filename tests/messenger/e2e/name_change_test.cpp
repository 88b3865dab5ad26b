// The whole way once, as the user has it: the real DLL, created from its
// registration as the host creates it, with its own one-second timer, takes
// a song change and the player's exit to the conversation in front.
#include "settings/SettingsStore.h"
#include "sim/messenger/SimMessenger.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/HostedDll.h"
#include "tests/support/Registry.h"

#include <gtest/gtest.h>

namespace tc::test {
namespace {

// A few of the watcher's ticks: only a plug-in that never sends runs into it.
constexpr DWORD kHangGuard = 6000;

TEST(NameChange, SongAndPlayerExitReachTheConversationInFront) {
    wipeUserState();
    ASSERT_EQ(writeSetting(keys::CurrentName, L"1"), S_OK);
    ASSERT_EQ(writeSetting(keys::CurrentTag, L"listening:"), S_OK);
    sim::SimMessenger& messenger = sim::SimMessenger::instance();
    messenger.reset();
    ASSERT_EQ(messenger.registerClass(), S_OK);
    HostedDll dll;
    ASSERT_TRUE(dll.ok());
    ComPtr<_PlayerPlugin> plugin;
    ASSERT_EQ(dll.createPlugin(plugin), S_OK);
    HWND user = messenger.openConversation(L"bob@example.com");

    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_TRUE(messenger.waitForSend(0, kHangGuard)) << "hang guard";
    player.close();
    ASSERT_TRUE(messenger.waitForSend(1, kHangGuard)) << "hang guard";

    const std::vector<sim::SentText> sent = messenger.timeline();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].window, user);
    EXPECT_EQ(sent[0].text, L"/name Ann listening: (!WAT)");
    EXPECT_EQ(sent[0].friendlyNameAfter, L"Ann listening: (!WAT)");
    EXPECT_EQ(sent[1].window, user);
    EXPECT_EQ(sent[1].text, L"/name Ann");
    EXPECT_EQ(messenger.friendlyName(), L"Ann");
    EXPECT_EQ(messenger.instantMessageCalls(), 0) << "no debug conversation of its own";
}

} // namespace
} // namespace tc::test
