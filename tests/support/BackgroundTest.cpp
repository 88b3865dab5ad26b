#include "tests/support/BackgroundTest.h"

namespace tc::test {
namespace {

// The background work and its clock live as long as the process, as the
// product's do: the messenger keeps the event sink, which points at them.
struct Process {
    TestClock clock;
    MessengerSession session;
    Delivery delivery{clock, session};
    PlayerWatcher players;
    Background background{{session, delivery, players}, Background::Timer::Manual};
};

Process& process() {
    static Process* p = new Process();
    return *p;
}

} // namespace

void putSetting(const wchar_t* key, const std::wstring& value) {
    ASSERT_EQ(writeSetting(key, value), S_OK);
}

void BackgroundTest::SetUp() {
    wipeUserState();
    putSetting(keys::onOff, L"1");
    putSetting(keys::CurrentName, L"1");
    putSetting(keys::CustomName, L"0");
    putSetting(keys::CurrentTag, L"listening:");
    messenger().reset();
    if (messengerRunning_) {
        ASSERT_EQ(messenger().registerClass(), S_OK);
    }
    if (startNow_) startUp();
    userPauses();
}

Background& BackgroundTest::background() { return process().background; }
Delivery& BackgroundTest::delivery() { return process().delivery; }
MessengerSession& BackgroundTest::session() { return process().session; }
TestClock& BackgroundTest::clock() { return process().clock; }

Sends BackgroundTest::tick(int ticks) {
    for (int i = 0; i < ticks; ++i) background().tick();
    return newSends();
}

std::vector<sim::SentText> BackgroundTest::newEntries() {
    pump(0); // anything the add-on has not read yet
    const std::vector<sim::SentText> all = messenger().timeline();
    std::vector<sim::SentText> out(all.begin() + static_cast<long>(seen_), all.end());
    seen_ = all.size();
    return out;
}

Sends BackgroundTest::newSends() {
    Sends out;
    for (const sim::SentText& s : newEntries()) out.push_back(s.text);
    return out;
}

} // namespace tc::test
