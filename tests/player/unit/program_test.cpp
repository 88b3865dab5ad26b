// The scriptable player program in a process of its own, its windows read
// across processes by ticks fired here. The program takes a step each time
// the test releases its semaphore, and the test waits for the title each step
// shows before it ticks.
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"
#include "tests/support/HostedDll.h"

namespace tc::test {
namespace {

using State = sim::PlayerSim::State;

class ScriptedPlayer : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        messenger().openConversation(L"bob@example.com"); // the user's, in front
    }
    void TearDown() override {
        if (program_.hProcess) {
            if (WaitForSingleObject(program_.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(program_.hProcess, 9);
            CloseHandle(program_.hProcess);
            CloseHandle(program_.hThread);
        }
        if (step_) CloseHandle(step_);
    }

    // Starts sim_player.exe (built beside this program) with these steps.
    void start(const std::wstring& steps) {
        const std::wstring name = L"TcScriptedPlayerStep" + std::to_wstring(GetCurrentProcessId());
        step_ = CreateSemaphoreW(nullptr, 0, 16, name.c_str());
        ASSERT_NE(step_, nullptr);
        const std::wstring dll = pluginDllPath();
        const std::wstring exe = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"sim_player.exe";
        std::wstring line = L"\"" + exe + L"\" --gen 2 --step-on " + name + L" " + steps;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &si, &program_))
            << "sim_player.exe is built beside the tests";
    }

    // Lets the program take its next step.
    void next() { ReleaseSemaphore(step_, 1, nullptr); }

    // Waits until the program's player shows that title.
    bool shows(const std::wstring& title) {
        return pumpUntil(
            [&] {
                wchar_t text[512] = {};
                GetWindowTextW(FindWindowW(kWinamp2Class, nullptr), text, 512);
                return title == text;
            },
            15000);
    }

    PROCESS_INFORMATION program_{};
    HANDLE step_ = nullptr;
};

TEST_F(ScriptedPlayer, InAnotherProcessIsFollowedStepByStep) {
    const sim::PlayerSim script(2); // the titles the program shows
    start(L"\"play 1\" \"play 2\" pause exit");
    ASSERT_TRUE(shows(script.titleFor(1, State::Stopped))) << "hang guard: it never opened";
    EXPECT_EQ(tick(2), Sends{}) << "a stopped player plays nothing";

    next();
    ASSERT_TRUE(shows(script.titleFor(1, State::Playing))) << "hang guard";
    EXPECT_EQ(tick(), Sends({kPlaying}));
    next();
    ASSERT_TRUE(shows(script.titleFor(2, State::Playing))) << "hang guard";
    EXPECT_EQ(tick(), Sends({kPlaying}));
    next();
    ASSERT_TRUE(shows(script.titleFor(2, State::Paused))) << "hang guard";
    EXPECT_EQ(tick(2), Sends({kPlain}));

    // Its exit finds the name plain already.
    next();
    ASSERT_TRUE(pumpUntil([&] { return WaitForSingleObject(program_.hProcess, 0) == 0; }, 15000))
        << "hang guard: the program did not end";
    DWORD code = 1;
    GetExitCodeProcess(program_.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(tick(), Sends{});
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
}

} // namespace
} // namespace tc::test
