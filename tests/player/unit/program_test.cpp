// The scriptable player program in a process of its own, its windows read
// across processes by ticks fired here. The program takes a step each time
// the test releases its semaphore, and the test waits for the title each step
// shows before it ticks.
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"
#include "tests/support/HostedDll.h"

#include <optional>

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

    // The text the program's player shows now.
    static std::wstring shown() {
        wchar_t text[512] = {};
        GetWindowTextW(FindWindowW(L"Winamp v1.x", nullptr), text, 512);
        return text;
    }
    // Waits until the program's player shows that title.
    bool shows(const std::wstring& title) {
        return pumpUntil([&] { return shown() == title; }, 15000);
    }
    // Waits until the player shows that text scrolled, and other than
    // `before`; that is the text shown then.
    std::optional<std::wstring> showsScrolled(const std::wstring& text,
                                              const std::wstring& before = L"") {
        std::wstring now;
        const bool turned = pumpUntil(
            [&] {
                now = shown();
                return now != before && now.size() == text.size() &&
                       (text + text).find(now) != std::wstring::npos;
            },
            15000);
        if (!turned) return std::nullopt;
        return now;
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

// The player scrolls the title of the song it plays, several times a second:
// the song sets the name once, and a pause or a stop sends the plain name
// once, whatever the text shows between the ticks.
TEST_F(ScriptedPlayer, AScrollingTitleIsOneSongAndAPauseOrAStopSendsThePlainNameOnce) {
    const sim::PlayerSim script(2);
    const std::wstring scrolling = script.titleFor(1, State::Playing) +
                                   sim::PlayerSim::kScrollSeparator;
    start(L"--scroll \"play 1\" pause resume stop exit");
    ASSERT_TRUE(shows(script.titleFor(1, State::Stopped))) << "hang guard: it never opened";
    EXPECT_EQ(tick(), Sends{});

    for (const char* step : {"play", "resume"}) {
        SCOPED_TRACE(step);
        next();
        std::optional<std::wstring> seen = showsScrolled(scrolling);
        ASSERT_TRUE(seen) << "hang guard: it never played";
        EXPECT_EQ(tick(), Sends({kPlaying}));
        for (int turn = 0; turn < 5; ++turn) {
            seen = showsScrolled(scrolling, *seen);
            ASSERT_TRUE(seen) << "hang guard: the title does not scroll";
            EXPECT_EQ(tick(), Sends{}) << "turn " << turn;
        }

        next();
        const State still = std::string(step) == "play" ? State::Paused : State::Stopped;
        ASSERT_TRUE(shows(script.titleFor(1, still))) << "hang guard";
        EXPECT_EQ(tick(), Sends({kPlain}));
        EXPECT_EQ(tick(), Sends{});
    }
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
}

} // namespace
} // namespace tc::test
