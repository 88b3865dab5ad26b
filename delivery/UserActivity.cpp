#include "delivery/UserActivity.h"

#include "platform/Win32.h"

namespace tc {

bool UserActivity::busy() {
    const DWORD last = clock_.lastInput();
    if (!ownKeysSeen_ || last != ownKeys_) userAt_ = last;
    return clock_.now() - userAt_ < kUserPauseMilliseconds || win::userHoldsAModifierOrButton();
}

void UserActivity::ownKeysRead() {
    ownKeys_ = clock_.lastInput();
    ownKeysSeen_ = true;
}

} // namespace tc
