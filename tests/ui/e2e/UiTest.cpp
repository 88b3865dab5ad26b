#include "tests/ui/e2e/UiTest.h"

#include <thread>

namespace tc::test {
namespace {

BOOL CALLBACK closeLeftovers(HWND window, LPARAM) {
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (lstrcmpW(cls, L"#32770") == 0) PostMessageW(window, WM_COMMAND, IDOK, 0);
    else if (lstrcmpW(cls, ui::kOptionsClass) == 0 || lstrcmpW(cls, ui::kAboutClass) == 0)
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

void click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

HWND focusOf(DWORD uiThread) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(uiThread, &info) ? info.hwndFocus : nullptr;
}

void pressKey(DWORD uiThread, UINT virtualKey, wchar_t character) {
    HWND target = focusOf(uiThread);
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    if (character) PostMessageW(target, WM_CHAR, character, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

void UiTest::SetUp() {
    wipeUserState();
    dll_ = std::make_unique<HostedDll>();
    ASSERT_TRUE(dll_->ok());
    ASSERT_EQ(dll_->createPlugin(plugin_), S_OK);
}

void UiTest::TearDown() {
    plugin_.reset();
    dll_.reset();
    wipeUserState();
}

Outcome UiTest::parse(const wchar_t* text, const wchar_t* sResultIn) {
    Outcome out;
    Bstr command(text), arg(L""), result(sResultIn);
    out.hr = plugin_->ParseCommand(command.get(), arg.get(), nullptr, result.inOut(), &out.result);
    out.sResult = result.str();
    return out;
}

Outcome UiTest::command(const wchar_t* text, const std::function<void()>& script,
                        const wchar_t* sResultIn) {
    const DWORD ui = uiThread_;
    std::thread driver([&script, ui] {
        script();
        // Anything the script left open would keep the command waiting.
        waitFor([ui] {
            EnumThreadWindows(ui, closeLeftovers, 0);
            return !FindWindowW(ui::kOptionsClass, nullptr) &&
                   !FindWindowW(ui::kAboutClass, nullptr);
        });
    });
    Outcome out = parse(text, sResultIn);
    driver.join();
    return out;
}

} // namespace tc::test
