// The scriptable player program in a process of its own, watched by the
// plug-in in this one: window texts are read across processes.
#include "tests/player/e2e/WatcherFixture.h"

#include <vector>

using namespace tc::test;

namespace {

std::wstring besideThisProgram(const wchar_t* file) {
    std::wstring dll = pluginDllPath();
    return dll.substr(0, dll.find_last_of(L'\\') + 1) + file;
}

struct Child {
    PROCESS_INFORMATION pi{};
    ~Child() {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 9);
            CloseHandle(pi.hProcess);
        }
        if (pi.hThread) CloseHandle(pi.hThread);
    }
};

} // namespace

TEST_F(WatcherTest, ScriptedPlayerProgramInAnotherProcess) {
    auto plugin = startWatching();
    const std::wstring exe = besideThisProgram(L"sim_player.exe");
    ASSERT_NE(GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES) << "sim_player.exe is built";
    // Steps well apart from the one-second ticks, so each title is seen.
    std::wstring cmd = L"\"" + exe + L"\" --gen 2 --step-ms 2500 \"play 1\" \"play 2\" pause exit";
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof si;
    Child child;
    ASSERT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &child.pi));

    // The program ends after its last step; keep ticking while it runs.
    ASSERT_TRUE(pumpUntil([&] { return WaitForSingleObject(child.pi.hProcess, 0) == WAIT_OBJECT_0; },
                          30000));
    DWORD code = 1;
    GetExitCodeProcess(child.pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    pump(1500);

    // Opened stopped (a first reading always sets the name, the next tick
    // puts it back), two songs, a pause; its exit finds the name plain.
    EXPECT_EQ(newSends(), Sends({kPlaying, kPlain, kPlaying, kPlaying, kPlain, kPlaying, kPlain}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
}
