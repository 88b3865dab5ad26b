#include "sim/common/OtherProgram.h"

#include "sim/common/Pump.h"

#include <cwchar>

namespace tc::sim {
namespace {

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1) + name;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK findWindowOf(HWND w, LPARAM arg) {
    auto* s = reinterpret_cast<Search*>(arg);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process != s->process || !IsWindowVisible(w)) return TRUE;
    s->found = w;
    return FALSE;
}

} // namespace

OtherProgram::OtherProgram(const std::wstring& windowClass) {
    const std::wstring exe = besideThisProgram(L"sim_other.exe");
    std::wstring line = L"\"" + exe + L"\" --class " + windowClass;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &process_))
        return;
    HWND w = nullptr;
    pumpUntil(
        [&] {
            Search s{process_.dwProcessId, nullptr};
            EnumWindows(findWindowOf, reinterpret_cast<LPARAM>(&s));
            w = s.found;
            return w && GetForegroundWindow() == w;
        },
        15000);
    if (w && GetForegroundWindow() == w) window_ = w;
}

OtherProgram::~OtherProgram() {
    if (!process_.hProcess) return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 5000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

int OtherProgram::keys() const {
    wchar_t text[64] = {};
    GetWindowTextW(window_, text, 64);
    int n = 0;
    std::swscanf(text, L"other program: %d keys", &n);
    return n;
}

} // namespace tc::sim
