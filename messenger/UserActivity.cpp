#include "messenger/UserActivity.h"

#include "platform/InputBox.h"
#include "platform/Win32.h"

namespace tc {

// The system stamps input on its own tick clock; the waits of the delivery
// run on ours (the same one in the product, one the tests drive). A stamp
// is taken over once, when it is first seen, at the age it has then.
DWORD UserActivity::lastUserInput() {
    const win::LastInput input = win::lastInput();
    if (!seen_ || input.stamp != stamp_) {
        seen_ = true;
        stamp_ = input.stamp;
        at_ = clock_.now() - input.age;
    }
    return at_;
}

bool UserActivity::keyboardFree() {
    if (clock_.now() - lastUserInput() < kUserPauseMilliseconds) return false;
    if (win::userHoldsAModifierOrButton()) return false;
    // A composition gets its text without the keys the pause watches, and
    // may stay open across one.
    return !win::compositionOpen(GetFocus());
}

void UserActivity::ownKeysRead() {
    stamp_ = win::lastInput().stamp;
    seen_ = true;
}

} // namespace tc
