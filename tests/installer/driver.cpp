// What the installer's tests cannot do from the shell:
//
//   tc_installer_driver.exe press BUTTON
//       awaits a visible, enabled button with that text (without its '&') in
//       any top-level window, prints the texts and buttons of that window,
//       presses the button and awaits its going (window closed, page
//       changed, or a message box of the window up).
//   tc_installer_driver.exe await BUTTON
//       the same without pressing it.
//   tc_installer_driver.exe set-text BUTTON TEXT
//       awaits the button likewise and puts TEXT into the first visible edit
//       box of its window.
//   tc_installer_driver.exe volatile-key PATH
//       creates HKEY_CURRENT_USER\PATH as a volatile key, under which no
//       lasting key can be created.
//   tc_installer_driver.exe deny-write PATH
//       lets nobody set values in HKEY_CURRENT_USER\PATH (its access list).
//   tc_installer_driver.exe run COMMANDLINE
//       runs COMMANDLINE as Windows runs a registered uninstall command
//       (CreateProcess, no shell), waits for it and exits with its exit code.
//   tc_installer_driver.exe hold DLL READY STOP
//       keeps DLL loaded, as a running Messenger keeps the plug-in: loads it,
//       creates the file READY, and stays until the file STOP exists.
//   tc_installer_driver.exe open FILE READY STOP
//       the same with FILE open for reading, as a virus scanner or a backup
//       program may keep it: others may read and write it, but not delete it.
//
// Exits 0 on success; 1 when the button never comes (listing the buttons
// there are), the key cannot be made or the file does not load or open; 2 on
// bad use.
#include <windows.h>
#include <sddl.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Long enough for the slowest first start of Wine's services; only a broken
// run waits that long.
constexpr DWORD kPatienceMs = 60000;
constexpr DWORD kPollMs = 50;

std::wstring textOf(HWND w) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(w, &text[0], static_cast<int>(text.size()))));
    return text;
}

std::wstring classOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

std::wstring withoutAccelerator(std::wstring text) {
    for (size_t i = text.find(L'&'); i != std::wstring::npos; i = text.find(L'&', i)) text.erase(i, 1);
    return text;
}

// Not while a message box of its window is up: that disables the window.
bool pressable(HWND w) {
    return classOf(w) == L"Button" && IsWindowVisible(w) && IsWindowEnabled(w) &&
           IsWindowEnabled(GetAncestor(w, GA_ROOT));
}

BOOL CALLBACK collect(HWND w, LPARAM out) {
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
    return TRUE;
}

std::vector<HWND> descendants(HWND top) {
    std::vector<HWND> all;
    EnumChildWindows(top, collect, reinterpret_cast<LPARAM>(&all));
    return all;
}

std::vector<HWND> visibleTopLevelWindows() {
    std::vector<HWND> all;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> visible;
    for (HWND w : all)
        if (IsWindowVisible(w)) visible.push_back(w);
    return visible;
}

HWND findButton(const std::wstring& label, HWND& top) {
    for (HWND w : visibleTopLevelWindows()) {
        for (HWND child : descendants(w)) {
            if (pressable(child) && withoutAccelerator(textOf(child)) == label) {
                top = w;
                return child;
            }
        }
    }
    return nullptr;
}

void print(const std::wstring& text) { std::printf("%ls\n", text.c_str()); }

// Awaits the button and prints the texts of its window; null when it never
// comes, after listing the buttons there are.
HWND awaitButton(const std::wstring& label, HWND& top) {
    HWND button = nullptr;
    for (DWORD waited = 0; !(button = findButton(label, top)) && waited < kPatienceMs; waited += kPollMs)
        Sleep(kPollMs);
    if (!button) {
        std::printf("no button '%ls'; the buttons there are:\n", label.c_str());
        for (HWND w : visibleTopLevelWindows())
            for (HWND child : descendants(w))
                if (classOf(child) == L"Button" && IsWindowVisible(child))
                    print(L"  '" + textOf(w) + L"': '" + textOf(child) + L"'" +
                          (IsWindowEnabled(child) ? L"" : L" (disabled)"));
        return nullptr;
    }
    print(textOf(top));
    for (HWND child : descendants(top)) {
        const std::wstring kind = classOf(child);
        if ((kind == L"Static" || kind == L"Button") && IsWindowVisible(child) &&
            GetWindowTextLengthW(child) > 0)
            print(textOf(child));
    }
    std::fflush(stdout);
    return button;
}

int press(const std::wstring& label) {
    HWND top = nullptr;
    HWND button = awaitButton(label, top);
    if (!button) return 1;
    PostMessageW(button, BM_CLICK, 0, 0);
    // The same button may stay, renamed for the next page.
    for (DWORD waited = 0; waited < kPatienceMs; waited += kPollMs) {
        if (!IsWindow(button) || !pressable(button) || withoutAccelerator(textOf(button)) != label)
            return 0;
        Sleep(kPollMs);
    }
    std::printf("'%ls' was pressed but stayed\n", label.c_str());
    return 1;
}

int setText(const std::wstring& label, const std::wstring& text) {
    HWND top = nullptr;
    if (!awaitButton(label, top)) return 1;
    for (HWND child : descendants(top)) {
        if (classOf(child) == L"Edit" && IsWindowVisible(child)) {
            SendMessageW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
            return 0;
        }
    }
    std::printf("no edit box beside '%ls'\n", label.c_str());
    return 1;
}

int volatileKey(const std::wstring& path) {
    HKEY key = nullptr;
    const LSTATUS rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                       REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        std::printf("cannot create %ls: %ld\n", path.c_str(), rc);
        return 1;
    }
    RegCloseKey(key);
    return 0;
}

int denyWrite(const std::wstring& path) {
    HKEY key = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    // KEY_SET_VALUE (2) denied to everyone, all else allowed.
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x2;;;WD)(A;;KA;;;WD)",
                                                              SDDL_REVISION_1, &sd, nullptr) ||
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) != ERROR_SUCCESS) {
        std::printf("cannot protect %ls\n", path.c_str());
        return 1;
    }
    LocalFree(sd);
    RegCloseKey(key);
    return 0;
}

int run(std::wstring commandLine) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::printf("cannot run %ls: %lu\n", commandLine.c_str(), GetLastError());
        return 255;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 255;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int hold(bool load, const std::wstring& file, const std::wstring& ready, const std::wstring& stop) {
    const bool held =
        load ? LoadLibraryW(file.c_str()) != nullptr
             : CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr) != INVALID_HANDLE_VALUE;
    if (!held) {
        std::printf("cannot %s %ls: %lu\n", load ? "load" : "open", file.c_str(), GetLastError());
        return 1;
    }
    HANDLE flag = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (flag == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(flag);
    // A test that dies before it says stop must not leave this behind for good.
    for (DWORD waited = 0; !fileExists(stop) && waited < 10 * kPatienceMs; waited += kPollMs)
        Sleep(kPollMs);
    return 0;
}

} // namespace

int main() {
    // Unix line ends for the shell that reads the output.
    _setmode(_fileno(stdout), _O_BINARY);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    int rc = 2;
    if (args.size() == 2 && args[0] == L"press") rc = press(args[1]);
    else if (args.size() == 2 && args[0] == L"await") {
        HWND top = nullptr;
        rc = awaitButton(args[1], top) ? 0 : 1;
    } else if (args.size() == 3 && args[0] == L"set-text") rc = setText(args[1], args[2]);
    else if (args.size() == 2 && args[0] == L"volatile-key") rc = volatileKey(args[1]);
    else if (args.size() == 2 && args[0] == L"deny-write") rc = denyWrite(args[1]);
    else if (args.size() == 2 && args[0] == L"run") rc = run(args[1]);
    else if (args.size() == 4 && (args[0] == L"hold" || args[0] == L"open"))
        rc = hold(args[0] == L"hold", args[1], args[2], args[3]);
    else std::printf("usage: press BUTTON | await BUTTON | set-text BUTTON TEXT | volatile-key PATH"
                     " | deny-write PATH | run COMMANDLINE | hold DLL READY STOP"
                     " | open FILE READY STOP\n");
    std::fflush(stdout);
    return rc;
}
