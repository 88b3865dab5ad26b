#pragma once
// The plug-in's background work in this process, brought up as the start-up
// routine does, with the simulated messenger and its add-on on this thread.
// The test fires the timer's ticks itself and drives the clock of the
// delivery's waits, so the whole way from a player's title to the display
// name runs without the one-second wait between ticks.
#include "platform/Clock.h"
#include "plugin/StartUp.h"
#include "sim/messenger/SimMessenger.h"
#include "tests/support/Registry.h"
#include "tests/support/Windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tc::test {

// Time that tests drive. A sleep moves it on by what was asked, though only
// a moment passes for real, so that what the window system does meanwhile
// (keys arriving, say) still happens.
class TestClock final : public Clock {
public:
    DWORD now() override { return now_; }
    void sleep(DWORD ms) override {
        now_ += ms;
        Sleep(ms ? 1 : 0);
    }
    void advance(DWORD ms) { now_ += ms; }

private:
    DWORD now_ = 1000;
};

inline const std::wstring kPlaying = L"/name Ann listening: (!WAT)";
inline const std::wstring kPlain = L"/name Ann";
using Sends = std::vector<std::wstring>;

class BackgroundTest : public ::testing::Test {
protected:
    // Starts in the current-name mode with the tag 'listening:', the watcher
    // switched on and the friendly name 'Ann'; the messenger runs unless
    // messengerRunning_ was cleared, and the background work is brought up
    // unless startNow_ was.
    void SetUp() override;

    // The start-up routine of this test's background work.
    HRESULT startUp() { return background().startUp(); }
    Background& background();
    frmSendText& form() { return background().form; }
    modTimer& watcher() { return background().watcher; }
    TestClock& clock();
    static sim::SimMessenger& messenger() { return sim::SimMessenger::instance(); }

    // The user leaves the keyboard and the mouse alone long enough for the
    // plug-in to press its keys, as far as the test's clock goes: what they
    // did so far is seen first, then the clock moves on by the pause. Done
    // at the start of every test.
    void userPauses();

    // Fires that many ticks and returns what the add-on sent meanwhile.
    Sends tick(int ticks = 1);
    // What the add-on sent since the last call.
    Sends newSends();
    std::vector<sim::SentText> newEntries();

    bool messengerRunning_ = true;
    bool startNow_ = true;

private:
    size_t seen_ = 0;
};

// A setting of the product, stored as the options dialog would.
void putSetting(const wchar_t* key, const std::wstring& value);

} // namespace tc::test
