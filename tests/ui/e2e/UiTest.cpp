#include "tests/ui/e2e/UiTest.h"

#include "sim/common/Activation.h"

#include <vector>

namespace tc::test {
namespace {

constexpr UINT kSendTimeout = 5000;

struct BoxSearch {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK findBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (textOf(child) == search->text) {
            search->found = window;
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CALLBACK closeLeftovers(HWND window, LPARAM) {
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (lstrcmpW(cls, L"#32770") == 0) PostMessageW(window, WM_COMMAND, IDOK, 0);
    else if (lstrcmpW(cls, ui::kOptionsClass) == 0 || lstrcmpW(cls, ui::kAboutClass) == 0)
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

Settings storedSettings() {
    Settings all;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kDataPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return all;
    RegKey owned(key);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        std::vector<wchar_t> data(4096);
        DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS)
            break;
        std::wstring value(data.data(), bytes / sizeof(wchar_t));
        if (!value.empty() && value.back() == L'\0') value.pop_back();
        all[std::wstring(name, nameLength)] = type == REG_SZ ? value : L"<not text>";
    }
    return all;
}

void storeSetting(const std::wstring& key, const std::wstring& value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kDataPath, key.c_str(), REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

HWND waitForWindow(const wchar_t* className, DWORD ms) {
    HWND found = nullptr;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        found = FindWindowW(className, nullptr);
        if (found && IsWindowVisible(found)) return found;
        Sleep(20);
    }
    return nullptr;
}

bool waitGone(HWND window, DWORD ms) {
    const DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(20);
    }
    return true;
}

std::wstring textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeout, &length))
        return L"<no answer>";
    std::vector<wchar_t> buffer(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_NORMAL, kSendTimeout, &got);
    return std::wstring(buffer.data(), got);
}

void setTextOf(HWND window, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        kSendTimeout, &ignored);
}

bool isChecked(HWND dialog, int id) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeout,
                        &state);
    return state == BST_CHECKED;
}

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

HWND waitForMessageBox(DWORD uiThread, const std::wstring& text, DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        BoxSearch search{text};
        EnumThreadWindows(uiThread, findBox, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(20);
    }
    return nullptr;
}

RECT childRect(HWND dialog, int id) {
    RECT r = {};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void UiTest::SetUp() {
    wipeUserState();
    dll_ = LoadLibraryW(pluginDllPath().c_str());
    ASSERT_NE(dll_, nullptr);
    install_ = dllExport<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(dll_, "DllInstall");
    ASSERT_NE(install_, nullptr);
    ASSERT_EQ(install_(TRUE, L"user"), S_OK);
    // Found through the per-user registration, as a host finds it.
    ASSERT_EQ(sim::createFromRegistration(L"Tunecaster.PlayerPlugin", IID__PlayerPlugin,
                                          plugin_.putVoid()),
              S_OK);
}

void UiTest::TearDown() {
    plugin_.reset();
    if (install_) install_(FALSE, L"user");
    wipeUserState();
}

UiTest::Outcome UiTest::command(const wchar_t* text, const std::function<void()>& script,
                                const wchar_t* sResultIn) {
    const DWORD ui = uiThread_;
    std::thread driver([&script, ui] {
        script();
        // Anything the script left open would keep the command waiting.
        for (int round = 0; round < 100; ++round) {
            EnumThreadWindows(ui, closeLeftovers, 0);
            if (!FindWindowW(ui::kOptionsClass, nullptr) && !FindWindowW(ui::kAboutClass, nullptr))
                break;
            Sleep(50);
        }
    });
    Outcome out;
    Bstr command(text), arg(L""), result(sResultIn);
    BSTR slot = result.detach();
    out.hr = plugin_->ParseCommand(command.get(), arg.get(), nullptr, &slot, &out.result);
    Bstr back = Bstr::attach(slot);
    out.sResult = back.str();
    driver.join();
    return out;
}

} // namespace tc::test
