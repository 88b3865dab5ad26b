#include "platform/Win32.h"

#include "platform/Handles.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tc::win {
namespace {
constexpr UINT kTextTimeoutMs = 500;
// The extra information our synthesised keys carry ("TcA0"), by which the
// wait tells them from the user's typing.
constexpr ULONG_PTR kOwnKeys = 0x54634130;
// A virtual key that Windows leaves unassigned: pressing it does nothing.
constexpr WORD kMenuMaskKey = 0xE8;
} // namespace

HWND findTopWindow(const wchar_t* className) { return FindWindowW(className, nullptr); }

std::wstring windowTextBuffer(HWND window, int bufferBytes, char fill) {
    std::wstring out;
    windowTextBuffer(window, bufferBytes, fill, out);
    return out;
}

void windowTextBuffer(HWND window, int bufferBytes, char fill, std::wstring& out) {
    out.clear();
    if (bufferBytes <= 0) return;
    // Read every second: a buffer of the usual size lives on the stack, and
    // only a larger one is allocated.
    char onStack[4096];
    std::vector<char> onHeap;
    char* buffer = onStack;
    const size_t size = static_cast<size_t>(bufferBytes);
    if (size > sizeof onStack) {
        onHeap.assign(size, fill);
        buffer = onHeap.data();
    } else {
        std::memset(onStack, fill, size);
    }
    GetWindowTextA(window, buffer, bufferBytes);
    fromAnsi(buffer, size, out);
}

std::optional<std::wstring> windowTextExact(HWND window) {
    if (!window) return std::wstring();
    // Asking for the length is a message to the player's window: a player
    // that hangs must not hold the host's thread with it.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             kTextTimeoutMs, &length)) {
        // A window that has gone has no text; one that is still there did
        // not answer, and its text is unknown.
        if (IsWindow(window)) return std::nullopt;
        return std::wstring();
    }
    // The answer is a signed length; a negative one means no text.
    const LRESULT claimed = static_cast<LRESULT>(length);
    if (claimed <= 0) return std::wstring();
    const int n = static_cast<int>(std::min<LRESULT>(claimed, kLongestWindowText));
    std::vector<char> buffer(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(window, buffer.data(), n + 1);
    return fromAnsi(buffer.data(), static_cast<size_t>(n));
}

std::wstring className(HWND window, int limit) {
    if (!window || limit <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(limit) + 1, L'\0');
    int n = GetClassNameW(window, buffer.data(), limit);
    if (n <= 0) return {};
    return std::wstring(buffer.data(), static_cast<size_t>(n));
}

bool ownedByThisProcess(HWND window) {
    DWORD process = 0;
    return window && GetWindowThreadProcessId(window, &process) != 0 &&
           process == GetCurrentProcessId();
}

namespace {

// A key of ours the system has down because it refused the key-up: the
// keyboard is the session's, so this is the process's to remember.
std::vector<WORD>& ownKeysDown() {
    static auto* keys = new std::vector<WORD>();
    return *keys;
}

INPUT ownKey(WORD vk, bool up) {
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = vk;
    key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    key.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    key.ki.dwExtraInfo = kOwnKeys;
    return key;
}

// Sends the keys and notes which of ours the system now has down: it takes
// them in order and stops at the first it refuses.
bool sendOwnKeys(std::vector<INPUT> keys) {
    const UINT taken = SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
    std::vector<WORD>& down = ownKeysDown();
    for (UINT i = 0; i < taken && i < keys.size(); ++i) {
        const WORD vk = keys[i].ki.wVk;
        down.erase(std::remove(down.begin(), down.end(), vk), down.end());
        if (!(keys[i].ki.dwFlags & KEYEVENTF_KEYUP)) down.push_back(vk);
    }
    return taken == keys.size();
}

// Lets go of those keys. Alt goes last, after a key that means nothing: a
// lone press and release of Alt would open the focused window's menu.
void releaseOwn(std::vector<WORD> keys) {
    std::vector<INPUT> ups;
    const bool alt = std::find(keys.begin(), keys.end(), VK_MENU) != keys.end();
    for (WORD vk : keys)
        if (vk != VK_MENU) ups.push_back(ownKey(vk, true));
    if (alt) {
        ups.push_back(ownKey(kMenuMaskKey, false));
        ups.push_back(ownKey(kMenuMaskKey, true));
        ups.push_back(ownKey(VK_MENU, true));
    }
    if (!ups.empty()) sendOwnKeys(ups);
}

} // namespace

bool sendAltZero() {
    if (sendOwnKeys({ownKey(VK_MENU, false), ownKey('0', false), ownKey('0', true),
                     ownKey(VK_MENU, true)}))
        return true;
    releaseOwn(ownKeysDown());
    return false;
}

void releaseOwnKeysLeftDown() {
    std::vector<WORD>& down = ownKeysDown();
    // Not even that goes in while the session is not the user's.
    if (down.empty() || !inputDesktopIsThisThreads()) return;
    // One the user has pressed and let go since is up already, and not ours
    // to touch any more.
    down.erase(std::remove_if(down.begin(), down.end(),
                              [](WORD vk) { return !(GetAsyncKeyState(vk) & 0x8000); }),
               down.end());
    releaseOwn(down);
}

bool inputDesktopIsThisThreads() {
    const auto name = [](HDESK desktop) {
        wchar_t buffer[256] = {};
        DWORD needed = 0;
        if (!GetUserObjectInformationW(desktop, UOI_NAME, buffer, sizeof buffer - sizeof(wchar_t),
                                       &needed))
            return std::wstring();
        return std::wstring(buffer);
    };
    DesktopHandle input(OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS));
    if (!input) return false;
    // The thread's desktop is the same for its whole life: a thread with
    // windows cannot move to another.
    static const std::wstring ours = name(GetThreadDesktop(GetCurrentThreadId()));
    return !ours.empty() && name(input.get()) == ours;
}

LastInput lastInput() {
    LASTINPUTINFO info = {};
    info.cbSize = sizeof info;
    LastInput out;
    if (!GetLastInputInfo(&info)) return out;
    out.stamp = info.dwTime;
    out.age = GetTickCount() - info.dwTime;
    return out;
}

bool userHoldsAModifierOrButton() {
    static const int kKeys[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2,
                                VK_SHIFT,   VK_CONTROL, VK_MENU,    VK_LWIN,     VK_RWIN};
    for (int vk : kKeys)
        if (GetAsyncKeyState(vk) & 0x8000) return true;
    return false;
}

void drainKeyboardInput(Clock& clock, DWORD maxMilliseconds) {
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

} // namespace tc::win
