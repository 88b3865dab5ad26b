// Another program the user works in: one window, shown, put in front with
// the keyboard focus, whose text counts the keys it receives ("other
// program: N keys"), so that a program looking from outside can tell
// whether keys reached it.
//
//   sim_other.exe [--class NAME]
//
// With --class IMWindowClass it stands for a conversation of another
// messenger (of another user's session, say). It runs until it is ended.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

int g_keys = 0;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        ++g_keys;
        SetWindowTextW(window, (L"other program: " + std::to_wstring(g_keys) + L" keys").c_str());
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring widen(const char* s) {
    std::wstring out;
    for (; *s; ++s) out += static_cast<wchar_t>(static_cast<unsigned char>(*s));
    return out;
}

} // namespace

int main(int argc, char** argv) {
    std::wstring className = L"TcOtherProgram";
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--class") == 0) className = widen(argv[++i]);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className.c_str();
    if (!RegisterClassW(&wc)) return 1;
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"other program: 0 keys",
                             WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200, nullptr, nullptr,
                             wc.hInstance, nullptr);
    if (!w) return 1;
    SetForegroundWindow(w);
    SetFocus(w);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
