#include "delivery/UserActivity.h"

#include "platform/Win32.h"

namespace tc {

bool UserActivity::busy() {
    const Clock::Input last = clock_.lastInput();
    if (!ownKeysSeen_ || last.stamp != ownKeys_) userAt_ = last.at;
    return clock_.now() - userAt_ < kUserPauseMilliseconds || win::userHoldsAModifierOrButton();
}

void UserActivity::ownKeysRead() {
    ownKeys_ = clock_.lastInput().stamp;
    ownKeysSeen_ = true;
}

} // namespace tc
