#include "platform/Win32.h"

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
} // namespace

HWND findTopWindow(const wchar_t* className) { return FindWindowW(className, nullptr); }

std::wstring windowTextBuffer(HWND window, int bufferBytes, char fill) {
    if (bufferBytes <= 0) return {};
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
    return fromAnsi(buffer, size);
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

bool sendAltZero() {
    INPUT keys[4] = {};
    const WORD vks[4] = {VK_MENU, '0', '0', VK_MENU};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = vks[i];
        keys[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(vks[i], MAPVK_VK_TO_VSC));
        keys[i].ki.dwFlags = (i == 2 || i == 3) ? KEYEVENTF_KEYUP : 0;
        keys[i].ki.dwExtraInfo = kOwnKeys;
    }
    return SendInput(4, keys, sizeof(INPUT)) == 4;
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
