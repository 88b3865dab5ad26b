#pragma once
// The plug-in's background work in this process, brought up as the start-up
// routine does, with the simulated messenger and its add-on on this thread.
// The test fires the timer's ticks itself and drives the clock of the
// delivery's waits, so the whole way from a player's title to the display
// name runs without the one-second wait between ticks.
#include "plugin/Background.h"
#include "sim/common/DrivenClock.h"
#include "sim/messenger/SimMessenger.h"
#include "tests/support/Registry.h"
#include "tests/support/Windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tc::test {

using TestClock = sim::DrivenClock;

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
    // The rooms of this process's background work, as the product has them.
    Background& background();
    Delivery& delivery();
    MessengerSession& session();
    TestClock& clock();
    static sim::SimMessenger& messenger() { return sim::SimMessenger::instance(); }

    // What the name should show, handed to the delivery as a tick would.
    void wantSong() { delivery().want(composer::Wanted::NowPlaying); }
    void wantPlain() { delivery().want(composer::Wanted::Plain); }

    // The user leaves the keyboard and the mouse alone long enough for the
    // plug-in to press its keys, as far as the test's clock goes. Done at
    // the start of every test.
    void userPauses() { clock().advance(kUserPauseMilliseconds); }

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
