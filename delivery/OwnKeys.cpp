#include "delivery/OwnKeys.h"

#include "platform/Win32.h"

#include <algorithm>

namespace tc {
namespace {

// The extra information our synthesised keys carry ("TcA0"), by which the
// wait tells them from the user's typing.
constexpr ULONG_PTR kOwnKeys = 0x54634130;
// A virtual key that Windows leaves unassigned: pressing it does nothing.
constexpr WORD kMenuMaskKey = 0xE8;

INPUT ownKey(WORD vk, bool up) {
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = vk;
    key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    key.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    key.ki.dwExtraInfo = kOwnKeys;
    return key;
}

} // namespace

// Sends the keys and notes which of ours the system now has down: it takes
// them in order and stops at the first it refuses.
bool OwnKeys::send(std::vector<INPUT> keys) {
    const UINT taken = win::sendInput(keys.data(), static_cast<UINT>(keys.size()));
    for (UINT i = 0; i < taken && i < keys.size(); ++i) {
        const WORD vk = keys[i].ki.wVk;
        down_.erase(std::remove(down_.begin(), down_.end(), vk), down_.end());
        if (!(keys[i].ki.dwFlags & KEYEVENTF_KEYUP)) down_.push_back(vk);
    }
    return taken == keys.size();
}

// Lets go of those keys. Alt goes last, after a key that means nothing: a
// lone press and release of Alt would open the focused window's menu.
void OwnKeys::release(std::vector<WORD> keys) {
    std::vector<INPUT> ups;
    const bool alt = std::find(keys.begin(), keys.end(), VK_MENU) != keys.end();
    for (WORD vk : keys)
        if (vk != VK_MENU) ups.push_back(ownKey(vk, true));
    if (alt) {
        ups.push_back(ownKey(kMenuMaskKey, false));
        ups.push_back(ownKey(kMenuMaskKey, true));
        ups.push_back(ownKey(VK_MENU, true));
    }
    if (!ups.empty()) send(ups);
}

bool OwnKeys::pressAltZero() {
    const bool all = send({ownKey(VK_MENU, false), ownKey('0', false), ownKey('0', true),
                           ownKey(VK_MENU, true)});
    // Refused part-way: what the system took of them is let go at once.
    if (!all) release(down_);
    return all;
}

void OwnKeys::releaseLeftDown() {
    // Not even that goes in while the session is not the user's.
    if (down_.empty() || !win::inputDesktopIsThisThreads()) return;
    // One the user has pressed and let go since is up already, and not ours
    // to touch any more.
    down_.erase(std::remove_if(down_.begin(), down_.end(), [](WORD vk) { return !win::keyIsDown(vk); }),
                down_.end());
    release(down_);
}

void OwnKeys::waitUntilRead(Clock& clock, DWORD maxMilliseconds) {
    const DWORD start = clock.now();
    MSG msg;
    // The four keys arrive through the system's input queue; give them the
    // bound to show up, and dispatch only keyboard messages so no timer or
    // other work of ours runs in between. Keys the user typed meanwhile are
    // read too, where they belong, but only ours tell that ours were read.
    int seenUps = 0;
    while (clock.now() - start < maxMilliseconds && seenUps < 2) {
        while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
            if ((msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) &&
                static_cast<ULONG_PTR>(GetMessageExtraInfo()) == kOwnKeys)
                ++seenUps;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (seenUps < 2) clock.sleep(1);
    }
}

} // namespace tc
