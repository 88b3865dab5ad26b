// The background work that the first object of a process brings up: the
// switch seeded for a new user, the timer, the messenger connection, and
// what is left working when one of those steps fails.
#include "tests/player/e2e/WatcherFixture.h"

#include "platform/Handles.h"

using tc::sim::PlayerSim;
using namespace tc::test;

namespace {

std::wstring onOff() {
    std::wstring v;
    readString(HKEY_CURRENT_USER, kSettings, L"onOff", v);
    return v;
}
bool onOffExists() {
    std::wstring v;
    return readString(HKEY_CURRENT_USER, kSettings, L"onOff", v);
}

bool parseCommand(_PlayerPlugin* p, const wchar_t* command) {
    tc::Bstr cmd(command), arg(L""), result;
    VARIANT_BOOL handled = VARIANT_FALSE;
    HRESULT hr = p->ParseCommand(cmd.get(), arg.get(), nullptr, result.put(), &handled);
    return SUCCEEDED(hr) && handled == VARIANT_TRUE;
}

void expectPublishes(_PlayerPlugin* p) {
    tc::Bstr name;
    LONG commands = 0, tags = -1;
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(p->GetPublishInfo(name.put(), &commands, &tags, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(commands, 4);
}

struct Seed {
    const char* name;
    const wchar_t* stored; // null: no value at all
    const wchar_t* after;
};

class SwitchSeeding : public WatcherTest, public ::testing::WithParamInterface<Seed> {};

} // namespace

TEST_P(SwitchSeeding, OnlyAnEmptySwitchIsTurnedOn) {
    const Seed seed = GetParam();
    if (seed.stored) putSetting(L"onOff", seed.stored);
    auto plugin = createPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(onOff(), seed.after);
    // Later objects of the same process do not seed again.
    putSetting(L"onOff", L"");
    auto second = createPlugin();
    EXPECT_EQ(onOff(), L"");
}

INSTANTIATE_TEST_SUITE_P(Stored, SwitchSeeding,
                         ::testing::Values(Seed{"Missing", nullptr, L"1"}, Seed{"Empty", L"", L"1"},
                                           Seed{"Zero", L"0", L"0"},
                                           Seed{"BlankOne", L" 1", L" 1"},
                                           Seed{"Yes", L"yes", L"yes"}),
                         [](const ::testing::TestParamInfo<Seed>& info) { return info.param.name; });

TEST_F(WatcherTest, WhenTheSwitchCannotBeWrittenTheObjectStillWorksButNothingRuns) {
    // A volatile application key refuses the ordinary (non-volatile) section
    // key the store creates, so the very first step of start-up fails.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dorvin's Tunecaster");
    HKEY app = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Dorvin's Tunecaster", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &app, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(app);
    HKEY probe = nullptr;
    ASSERT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &probe, nullptr),
              ERROR_SUCCESS)
        << "the registry should refuse a lasting key under a volatile one";

    auto plugin = createPlugin();
    ASSERT_TRUE(plugin);
    expectPublishes(plugin.get());
    EXPECT_FALSE(parseCommand(plugin.get(), L"/xwinampon")) << "the store cannot write either";

    EXPECT_FALSE(onOffExists());
    EXPECT_EQ(countTimers(2500).ticks.size(), 0u) << "start-up stopped before the timer";
    EXPECT_EQ(messenger().connectedSinks(), 0u) << "and before the messenger connection";
}

class MessengerAbsentAtStart : public WatcherTest {
protected:
    MessengerAbsentAtStart() { registerMessenger_ = false; }
};

TEST_F(MessengerAbsentAtStart, TimerAndCommandsStillWorkAndNamesFollowOnceItIsThere) {
    messenger().revokeClass();
    auto plugin = createPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(onOff(), L"1");
    expectPublishes(plugin.get());
    EXPECT_TRUE(parseCommand(plugin.get(), L"/xwinampoff"));
    EXPECT_EQ(onOff(), L"0");
    EXPECT_TRUE(parseCommand(plugin.get(), L"/xwinampon"));
    EXPECT_EQ(onOff(), L"1");

    auto timers = countTimers(2300);
    EXPECT_EQ(timers.distinctTimers(), 1u) << "the timer was started before the connection failed";
    EXPECT_EQ(messenger().connectedSinks(), 0u);

    // The messenger comes up later: the watcher reaches it on its own.
    ASSERT_EQ(messenger().registerClass(), S_OK);
    conversation_ = messenger().openConversation(L"bob@example.com");
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    player.close();
    EXPECT_EQ(expectSends(1), Sends({kPlain}));
}
