// The background work that the class factory brings up with the first object
// of the process: the switch seeded for a new user, the timer, the messenger
// connection, and what is left working when one of those steps fails. The
// factory runs here, in the test program, with the simulated messenger; no
// test waits for the timer to tick.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"
#include "platform/Handles.h"
#include "plugin/ClassFactory.h"
#include "plugin/Commands.h"
#include "plugin/Server.h"
#include "plugin/Background.h"
#include "sim/common/ImportHook.h"
#include "sim/messenger/SimMessenger.h"
#include "tests/support/Registry.h"

#include <gtest/gtest.h>

namespace tc::test {
namespace {

sim::SimMessenger& messenger() { return sim::SimMessenger::instance(); }

// The thread timers made in this process, as the product's calls of
// SetTimer go through the program's imports.
int g_timersMade = 0;
void* g_setTimer = nullptr;
UINT_PTR WINAPI countedSetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC proc) {
    ++g_timersMade;
    return reinterpret_cast<UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC)>(g_setTimer)(
        window, id, ms, proc);
}

std::optional<std::wstring> onOff() {
    std::wstring v;
    if (reg::getString(HKEY_CURRENT_USER, kSettingsPath, keys::onOff, v) != ERROR_SUCCESS)
        return std::nullopt;
    return v;
}

bool runs(_PlayerPlugin* p, const wchar_t* command) {
    Bstr text(command), result;
    VARIANT_BOOL handled = VARIANT_FALSE;
    HRESULT hr = p->ParseCommand(text.get(), nullptr, nullptr, result.put(), &handled);
    return SUCCEEDED(hr) && handled == VARIANT_TRUE;
}

void expectPublishes(_PlayerPlugin* p) {
    Bstr name;
    LONG commands = 0, tags = -1;
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(p->GetPublishInfo(name.put(), &commands, &tags, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(commands, 4) << "/xwinampoptions, /xwinampabout, /xwinampon, /xwinampoff";
}

class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        wipeUserState();
        messenger().reset();
        if (messengerRunning_) {
            ASSERT_EQ(messenger().registerClass(), S_OK);
        }
        ASSERT_EQ(getPlayerPluginFactory(IID_IClassFactory, factory_.putVoid()), S_OK);
        ASSERT_TRUE(timers_.active());
    }
    void TearDown() override { wipeUserState(); }

    ComPtr<_PlayerPlugin> create() {
        ComPtr<_PlayerPlugin> p;
        EXPECT_EQ(factory_->CreateInstance(nullptr, IID__PlayerPlugin, p.putVoid()), S_OK);
        return p;
    }

    bool messengerRunning_ = true;
    ComPtr<IClassFactory> factory_;
    sim::ImportHook timers_{"user32.dll", "SetTimer", reinterpret_cast<void*>(countedSetTimer),
                            &g_setTimer};
};

TEST_F(StartUp, OnceForTheProcessWithOneTimerAndOneEventConnection) {
    auto first = create();
    ASSERT_TRUE(first);
    EXPECT_EQ(onOff(), L"1") << "seeded for a new user";
    EXPECT_EQ(g_timersMade, 1);
    EXPECT_EQ(messenger().connectedSinks(), 1u);

    // Later objects start nothing again, not even the seeding.
    ASSERT_EQ(writeSetting(keys::onOff, L""), S_OK);
    auto second = create();
    second.reset();
    auto third = create();
    ASSERT_TRUE(third);
    EXPECT_EQ(onOff(), L"");
    EXPECT_EQ(g_timersMade, 1);
    EXPECT_EQ(messenger().connectedSinks(), 1u);
}

TEST_F(StartUp, AnObjectCreatedWhileStartUpWaitsOnTheMessengerWorksAndStartsNothing) {
    ComPtr<_PlayerPlugin> during;
    HRESULT duringResult = E_FAIL;
    messenger().duringNextAdvise([&] {
        duringResult = factory_->CreateInstance(nullptr, IID__PlayerPlugin, during.putVoid());
    });
    auto first = create();
    ASSERT_TRUE(first);
    EXPECT_EQ(duringResult, S_OK);
    ASSERT_TRUE(during);
    expectPublishes(during.get());
    EXPECT_TRUE(runs(during.get(), L"/xwinampoff"));
    EXPECT_EQ(onOff(), L"0");
    EXPECT_EQ(messenger().connectedSinks(), 1u) << "start-up ran once";

    // Both objects go with their last reference: the lock count is back
    // where it was before them.
    const long before = server::lockCount();
    during.reset();
    first.reset();
    EXPECT_EQ(server::lockCount(), before - 2);
}

// The start-up routine itself, on backgrounds of this test's own: no
// messenger runs, so nothing connects to them and they may go.
TEST(SwitchSeeding, OnlyAMissingOrEmptySwitchIsTurnedOn) {
    struct Seed {
        const char* name;
        const wchar_t* stored; // null: no value at all
        const wchar_t* after;
    };
    for (const Seed& seed : {Seed{"missing", nullptr, L"1"}, Seed{"empty", L"", L"1"},
                             Seed{"zero", L"0", L"0"}, Seed{"blank one", L" 1", L" 1"},
                             Seed{"yes", L"yes", L"yes"}}) {
        wipeUserState();
        if (seed.stored) {
            ASSERT_EQ(writeSetting(keys::onOff, seed.stored), S_OK);
        }
        MessengerSession session;
        Delivery delivery(systemClock(), session);
        PlayerWatcher players;
        Background work({session, delivery, players}, Background::Timer::Manual);
        work.startUp();
        EXPECT_EQ(onOff(), seed.after) << seed.name;
    }
    wipeUserState();
}

TEST_F(StartUp, WhenTheSwitchCannotBeWrittenTheObjectStillWorksButNothingRuns) {
    // A volatile key refuses the lasting key the store creates under it, so
    // the very first step of start-up fails.
    HKEY app = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, product::kSettingsKey, 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &app, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(app);
    ASSERT_FALSE(slotValues::writeString(HKEY_CURRENT_USER, kSettingsPath, L"probe", L"x"))
        << "the registry should refuse a lasting key under a volatile one";

    auto plugin = create();
    ASSERT_TRUE(plugin);
    expectPublishes(plugin.get());
    EXPECT_FALSE(runs(plugin.get(), L"/xwinampon")) << "the store cannot write either";

    EXPECT_EQ(onOff(), std::nullopt);
    EXPECT_EQ(g_timersMade, 0) << "start-up stopped before the timer";
    EXPECT_EQ(messenger().connectedSinks(), 0u) << "and before the messenger connection";
}

class MessengerAbsentAtStart : public StartUp {
protected:
    MessengerAbsentAtStart() { messengerRunning_ = false; }
};

TEST_F(MessengerAbsentAtStart, TheTimerAndTheCommandsStillWork) {
    auto plugin = create();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(onOff(), L"1");
    expectPublishes(plugin.get());
    EXPECT_TRUE(runs(plugin.get(), L"/xwinampoff"));
    EXPECT_EQ(onOff(), L"0");
    EXPECT_TRUE(runs(plugin.get(), L"/xwinampon"));
    EXPECT_EQ(onOff(), L"1");

    EXPECT_EQ(g_timersMade, 1) << "the timer was started before the connection failed";
    EXPECT_EQ(messenger().connectedSinks(), 0u);
}

} // namespace
} // namespace tc::test
