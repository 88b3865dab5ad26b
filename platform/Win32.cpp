#include "platform/Win32.h"

#include "platform/Handles.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tc::win {
namespace {
constexpr UINT kTextTimeoutMs = 500;
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

UINT sendInput(INPUT* keys, UINT count) {
    return count ? SendInput(count, keys, sizeof(INPUT)) : 0;
}

bool keyIsDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

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

bool userHoldsAModifierOrButton() {
    static const int kKeys[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2,
                                VK_SHIFT,   VK_CONTROL, VK_MENU,    VK_LWIN,     VK_RWIN};
    for (int vk : kKeys)
        if (keyIsDown(vk)) return true;
    return false;
}

} // namespace tc::win
